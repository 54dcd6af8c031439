#pragma once

#include <string>
#include <vector>

// One entry of a real folder on disk.
struct RealFolderEntry {
  std::string name;
  bool isFolder = false;
};

// The entries of a real folder in the order the system's directory search
// returns them, without "." and "..". Empty when it cannot be read.
std::vector<RealFolderEntry> ListRealFolder(const std::string& folder);
