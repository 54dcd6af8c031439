#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "tests/hostile/process_usage.h"

namespace {

int64_t StatusField(const std::string& name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(name + ":", 0) == 0) return std::stoll(line.substr(name.size() + 1));
  }
  return -1;
}

rlimit savedLimit{};

}  // namespace

int ThreadCount() {
  return static_cast<int>(StatusField("Threads"));
}

int64_t ResidentKiB() {
  return StatusField("VmRSS");
}

int64_t CpuMilliseconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto ms = [](const timeval& t) { return int64_t{t.tv_sec} * 1000 + t.tv_usec / 1000; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

bool ExhaustDescriptors(int headroom, std::vector<int>* taken) {
  getrlimit(RLIMIT_NOFILE, &savedLimit);
  int highest = 0;
  for (int fd = 0; fd < 65536 && fd < static_cast<int>(savedLimit.rlim_cur); ++fd) {
    if (fcntl(fd, F_GETFD) != -1) highest = fd;
  }
  rlimit lowered = savedLimit;
  lowered.rlim_cur = static_cast<rlim_t>(highest + 1 + headroom);
  if (setrlimit(RLIMIT_NOFILE, &lowered) != 0) return false;
  while (true) {
    int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd < 0) break;
    taken->push_back(fd);
  }
  return true;
}

void ReleaseDescriptors(std::vector<int>* taken) {
  for (int fd : *taken) close(fd);
  taken->clear();
  setrlimit(RLIMIT_NOFILE, &savedLimit);
}

void CloseDescriptorForTest(int descriptor) {
  close(descriptor);
}
