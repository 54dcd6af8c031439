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

// Size of an open stream, or -1 when it cannot be told (a folder, a pipe).
std::streamoff StreamSize(std::ifstream& file) {
  file.seekg(0, std::ios::end);
  std::streamoff size = file.tellg();
  if (!file || size < 0) return -1;
  return size;
}

}  // namespace

std::string ReadFileText(const std::string& path, uint64_t offset) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::string();
  std::streamoff size = StreamSize(file);
  if (size < 0 || offset >= static_cast<uint64_t>(size)) return std::string();
  file.seekg(static_cast<std::streamoff>(offset), std::ios::beg);
  std::string text(static_cast<size_t>(size - static_cast<std::streamoff>(offset)), '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(file.gcount()));
  size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

bool WriteFileText(const std::string& path, const std::string& text) {
  return WriteWithMode(path, text, std::ios::out | std::ios::trunc);
}

bool AppendFileText(const std::string& path, const std::string& text) {
  return WriteWithMode(path, text, std::ios::out | std::ios::app);
}

uint32_t FileSize(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return 0;
  std::streamoff size = StreamSize(file);
  return size < 0 ? 0 : static_cast<uint32_t>(static_cast<uint64_t>(size));
}
