#include <windows.h>

#include <vector>

#include "foundation/paths.h"

const char kPathSeparator = '\\';

std::string ExecutablePath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return path;
  std::vector<char> buffer(32768);
  DWORD length =
      GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (length == 0 || length >= buffer.size()) return path;
  std::string full(buffer.data(), length);
  // "dir\" names the same folder as "dir"; "C:\" stays.
  while (full.size() > 3 && full.back() == '\\') full.pop_back();
  return full;
}
