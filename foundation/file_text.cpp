#include "foundation/file_text.h"

#include <cstring>
#include <fstream>

namespace {

// The text up to its first NUL, as the files of this system never hold one.
size_t TextLength(const std::string& text) {
  return std::strlen(text.c_str());
}

bool WriteWithMode(const std::string& path, const std::string& text, std::ios::openmode mode) {
  std::ofstream file(path, std::ios::binary | mode);
  if (!file) return false;
  file.write(text.data(), static_cast<std::streamsize>(TextLength(text)));
  return true;
}

}  // namespace

// Read in chunks rather than by the reported size: a folder opens on some
// systems and reports a nonsense size, but every read of it fails.
std::string ReadFileText(const std::string& path, uint64_t offset) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::string();
  if (offset > 0 && !file.seekg(static_cast<std::streamoff>(offset), std::ios::beg)) {
    return std::string();
  }
  std::string text;
  char chunk[65536];
  for (;;) {
    file.read(chunk, sizeof(chunk));
    size_t got = static_cast<size_t>(file.gcount());
    if (got == 0) break;
    const char* nul = static_cast<const char*>(std::memchr(chunk, 0, got));
    if (nul) {
      text.append(chunk, static_cast<size_t>(nul - chunk));
      break;
    }
    text.append(chunk, got);
  }
  return text;
}

bool WriteFileText(const std::string& path, const std::string& text) {
  return WriteWithMode(path, text, std::ios::out | std::ios::trunc);
}

bool AppendFileText(const std::string& path, const std::string& text) {
  return WriteWithMode(path, text, std::ios::out | std::ios::app);
}
