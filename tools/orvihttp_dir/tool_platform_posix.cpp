#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "tools/orvihttp_dir/tool_platform.h"

void UseBinaryStandardOutput() {}

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

bool MoveIntoPlace(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}
