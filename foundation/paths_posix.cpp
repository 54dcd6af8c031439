#include <unistd.h>

#include <filesystem>
#include <vector>

#include "foundation/paths.h"

const char kPathSeparator = '/';

std::string ExecutablePath() {
  std::vector<char> buffer(4096);
  ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) return std::string();
  return std::string(buffer.data(), static_cast<size_t>(length));
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return path;
  std::string full = path;
  if (path[0] != '/') {
    std::vector<char> buffer(4096);
    if (!getcwd(buffer.data(), buffer.size())) return path;
    full = std::string(buffer.data()) + "/" + path;
  }
  std::string normal = std::filesystem::path(full).lexically_normal().string();
  // "dir/" names the same folder as "dir".
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}
