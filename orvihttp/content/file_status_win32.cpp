#include <windows.h>

#include "orvihttp/content/file_status.h"

std::optional<FileStatus> QueryFileStatus(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
  FileStatus status;
  status.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  // FILETIME counts 100 ns steps since 1601.
  uint64_t ticks = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                   data.ftLastWriteTime.dwLowDateTime;
  status.lastWriteTime = static_cast<int64_t>(ticks / 10000000u) - 11644473600LL;
  return status;
}
