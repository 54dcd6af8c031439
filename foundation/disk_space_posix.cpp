#include <sys/statvfs.h>
#include <unistd.h>

#include "foundation/disk_space.h"

std::optional<uint64_t> FreeDiskBytes(const std::string& folder) {
  struct statvfs status {};
  if (statvfs(folder.c_str(), &status) != 0) return std::nullopt;
  return static_cast<uint64_t>(status.f_bavail) * static_cast<uint64_t>(status.f_frsize);
}

bool FlushFileToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
  return fsync(fileno(file)) == 0;
}
