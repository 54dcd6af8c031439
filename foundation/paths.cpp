#include "foundation/paths.h"

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == kPathSeparator) return folder + name;
  return folder + kPathSeparator + name;
}

std::string ParentFolder(const std::string& path) {
  std::string::size_type cut = path.rfind(kPathSeparator);
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

bool IsPathInside(const std::string& path, const std::string& folder) {
  if (folder.empty() || path.compare(0, folder.size(), folder) != 0) return false;
  if (path.size() == folder.size()) return true;
  // "/data/site" holds "/data/site/a" but not "/data/site2".
  return folder.back() == kPathSeparator || path[folder.size()] == kPathSeparator;
}
