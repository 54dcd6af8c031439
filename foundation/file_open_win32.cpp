#include "foundation/file_open.h"

std::FILE* OpenFile(const std::string& path, const char* mode) {
  // "N": the C runtime opens the file handle as not inheritable.
  return std::fopen(path.c_str(), (std::string(mode) + "N").c_str());
}

bool SeekFile(std::FILE* file, uint64_t offset) {
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
}
