#include <sys/types.h>

#include "foundation/file_open.h"

std::FILE* OpenFile(const std::string& path, const char* mode) {
  // "e": O_CLOEXEC, set as the file is opened, so no spawn on another thread
  // can slip in between the open and the flag.
  return std::fopen(path.c_str(), (std::string(mode) + "e").c_str());
}

bool SeekFile(std::FILE* file, uint64_t offset) {
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}
