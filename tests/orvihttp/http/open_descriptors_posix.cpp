#include <filesystem>

#include "tests/orvihttp/http/open_descriptors.h"

int OpenDescriptorCount() {
  std::error_code error;
  int count = 0;
  for (auto it = std::filesystem::directory_iterator("/proc/self/fd", error);
       !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    ++count;
  }
  return error ? -1 : count;
}
