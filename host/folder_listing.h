#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One entry of a folder, as the file system lists it.
struct FolderEntry {
  enum class Kind { File, Folder, Other };
  std::string name;
  Kind kind = Kind::Other;
  // Last-write time in the system's finest unit. Only compared for equality:
  // any rewrite of the file changes it, also twice within one second.
  uint64_t lastWrite = 0;
};

// Every entry of `folder` in the order the file system gives them ("." and
// ".." included where the system lists them); empty when it cannot be read.
std::vector<FolderEntry> ListFolder(const std::string& folder);
