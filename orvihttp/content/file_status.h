#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Size and last-write time of a real file, as the file system reports them.
struct FileStatus {
  uint64_t size = 0;
  int64_t lastWriteTime = 0;  // seconds since 1970, UTC
};

// Nothing for a path that does not name a file (missing, or a folder).
std::optional<FileStatus> QueryFileStatus(const std::string& path);
