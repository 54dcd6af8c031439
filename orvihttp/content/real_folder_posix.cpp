#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

#include "foundation/paths.h"
#include "orvihttp/content/real_folder.h"

std::vector<RealFolderEntry> ListRealFolder(const std::string& folder) {
  std::vector<RealFolderEntry> entries;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return entries;
  while (const dirent* found = readdir(dir)) {
    if (std::strcmp(found->d_name, ".") == 0 || std::strcmp(found->d_name, "..") == 0) continue;
    RealFolderEntry entry;
    entry.name = found->d_name;
    // A link to a folder counts as a folder, as a junction does on Windows.
    struct stat info {};
    entry.isFolder =
        stat(JoinPath(folder, entry.name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    entries.push_back(std::move(entry));
  }
  closedir(dir);
  return entries;
}
