#include <dirent.h>
#include <sys/stat.h>

#include "foundation/paths.h"
#include "host/folder_listing.h"

std::vector<FolderEntry> ListFolder(const std::string& folder) {
  std::vector<FolderEntry> entries;
  DIR* listing = opendir(folder.c_str());
  if (!listing) return entries;
  while (dirent* found = readdir(listing)) {
    FolderEntry entry;
    entry.name = found->d_name;
    // stat follows links, so a linked plugin file counts as a file.
    struct stat info {};
    if (stat(JoinPath(folder, entry.name).c_str(), &info) == 0) {
      if (S_ISREG(info.st_mode)) {
        entry.kind = FolderEntry::Kind::File;
      } else if (S_ISDIR(info.st_mode)) {
        entry.kind = FolderEntry::Kind::Folder;
      }
      entry.lastWrite = static_cast<uint64_t>(info.st_mtim.tv_sec) * 1000000000u +
                        static_cast<uint64_t>(info.st_mtim.tv_nsec);
    }
    entries.push_back(std::move(entry));
  }
  closedir(listing);
  return entries;
}
