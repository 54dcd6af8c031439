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
