#include <sys/stat.h>

#include "orvihttp/content/file_status.h"

std::optional<FileStatus> QueryFileStatus(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return std::nullopt;
  if (S_ISDIR(info.st_mode)) return std::nullopt;
  FileStatus status;
  status.size = static_cast<uint64_t>(info.st_size);
  status.lastWriteTime = static_cast<int64_t>(info.st_mtime);
  return status;
}
