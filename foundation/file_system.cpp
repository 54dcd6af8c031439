#include "foundation/file_system.h"

#include <cstdio>

std::vector<FolderEntry> ListFolder(const std::string& folder) {
  std::optional<std::vector<FolderEntry>> entries = TryListFolder(folder);
  return entries ? std::move(*entries) : std::vector<FolderEntry>();
}

bool CanReadFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  std::fclose(file);
  return true;
}
