#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "foundation/paths.h"

const char kPathSeparator = '/';

std::string ExecutablePath() {
  std::vector<char> buffer(4096);
  ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) return std::string();
  return std::string(buffer.data(), static_cast<size_t>(length));
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool CreateFolder(const std::string& path) {
  if (IsFolder(path)) return true;
  return mkdir(path.c_str(), 0777) == 0 || IsFolder(path);
}

bool RemoveFile(const std::string& path) {
  return unlink(path.c_str()) == 0;
}

bool RemoveFolder(const std::string& path) {
  return rmdir(path.c_str()) == 0;
}
