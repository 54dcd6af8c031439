// The registry substitute: one small file per value under
// ${XDG_CONFIG_HOME:-$HOME/.config}/Quintarvo/<product>/<value>, holding the
// text without a NUL. Reads follow the Windows query into a 260-byte buffer
// that must also hold the NUL: up to 259 bytes read back, longer reads as "".

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "foundation/registry.h"

namespace {

constexpr size_t kValueBufferSize = 260;

// A product or value name must stay one path component inside our folder.
bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

std::string ConfigFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && *config) return config;
  const char* home = std::getenv("HOME");
  if (home && *home) return JoinPath(home, ".config");
  return std::string();
}

std::string ProductFolder(const std::string& product) {
  std::string config = ConfigFolder();
  if (config.empty()) return std::string();
  return JoinPath(JoinPath(config, "Quintarvo"), product);
}

// Creates the folder and every missing parent.
bool CreateFolders(const std::string& path) {
  if (path.empty() || IsFolder(path)) return true;
  std::string parent = ParentFolder(path);
  if (!parent.empty() && parent != path && !CreateFolders(parent)) return false;
  return CreateFolder(path);
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t written = write(fd, data, size);
    if (written < 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

std::string RegistryGet(const std::string& product, const std::string& value) {
  if (!IsPlainName(product) || !IsPlainName(value)) return std::string();
  std::string folder = ProductFolder(product);
  if (folder.empty()) return std::string();
  std::string path = JoinPath(folder, value);
  if (!IsFile(path)) return std::string();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::string();
  // One byte more than the buffer tells a value that does not fit.
  char buffer[kValueBufferSize + 1];
  size_t size = 0;
  while (size < sizeof(buffer)) {
    ssize_t got = read(fd, buffer + size, sizeof(buffer) - size);
    if (got <= 0) break;
    size += static_cast<size_t>(got);
  }
  close(fd);
  if (size + 1 > kValueBufferSize) return std::string();
  return std::string(buffer, strnlen(buffer, size));
}

void RegistrySet(const std::string& product, const std::string& value, const std::string& text) {
  if (!IsPlainName(product) || !IsPlainName(value)) return;
  std::string folder = ProductFolder(product);
  if (folder.empty() || !CreateFolders(folder)) return;
  std::string path = JoinPath(folder, value);
  // Written beside and renamed into place, so a reader sees the old or the new
  // value, never half of one.
  std::string temporary = path + ".new" + std::to_string(getpid());
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return;
  bool written = WriteAll(fd, text.c_str(), std::strlen(text.c_str()));
  if (close(fd) != 0) written = false;
  if (!written || !RenameFile(temporary, path)) RemoveFile(temporary);
}
