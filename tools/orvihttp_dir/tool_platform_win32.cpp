#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <vector>

#include "tools/orvihttp_dir/tool_platform.h"

void UseBinaryStandardOutput() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
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

bool MoveIntoPlace(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
