#include "tests/hostile/process_usage.h"

int ThreadCount() {
  return -1;
}

int64_t ResidentKiB() {
  return -1;
}

int64_t CpuMilliseconds() {
  return -1;
}

bool ExhaustDescriptors(int, std::vector<int>*) {
  return false;
}

void ReleaseDescriptors(std::vector<int>*) {}

void CloseDescriptorForTest(int) {}
