#include "foundation/file_text.h"

#include <cstring>

#include "foundation/file_open.h"

namespace {

// The text up to its first NUL, as the files of this system never hold one.
size_t TextLength(const std::string& text) {
  return std::strlen(text.c_str());
}

bool WriteWithMode(const std::string& path, const std::string& text, const char* mode) {
  std::FILE* file = OpenFile(path, mode);
  if (!file) return false;
  const size_t length = TextLength(text);
  bool ok = std::fwrite(text.data(), 1, length, file) == length;
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

}  // namespace

// Read in chunks rather than by the reported size: a folder opens on some
// systems and reports a nonsense size, but every read of it fails.
std::string ReadFileText(const std::string& path, uint64_t offset) {
  std::FILE* file = OpenFile(path, "rb");
  if (!file) return std::string();
  std::string text;
  if (offset > 0 && !SeekFile(file, offset)) {
    std::fclose(file);
    return text;
  }
  char chunk[65536];
  for (;;) {
    size_t got = std::fread(chunk, 1, sizeof(chunk), file);
    if (got == 0) break;
    const char* nul = static_cast<const char*>(std::memchr(chunk, 0, got));
    if (nul) {
      text.append(chunk, static_cast<size_t>(nul - chunk));
      break;
    }
    text.append(chunk, got);
  }
  std::fclose(file);
  return text;
}

bool WriteFileText(const std::string& path, const std::string& text) {
  return WriteWithMode(path, text, "wb");
}

bool AppendFileText(const std::string& path, const std::string& text) {
  return WriteWithMode(path, text, "ab");
}
