#include <windows.h>

#include "foundation/paths.h"
#include "host/folder_listing.h"

std::vector<FolderEntry> ListFolder(const std::string& folder) {
  std::vector<FolderEntry> entries;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(JoinPath(folder, "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return entries;
  do {
    FolderEntry entry;
    entry.name = found.cFileName;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      entry.kind = FolderEntry::Kind::Folder;
    } else if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)) {
      entry.kind = FolderEntry::Kind::File;
    }
    entry.lastWrite = (static_cast<uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                      found.ftLastWriteTime.dwLowDateTime;
    entries.push_back(std::move(entry));
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return entries;
}
