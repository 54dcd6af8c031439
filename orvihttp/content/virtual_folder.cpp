// Lookups and edits of one VirtualFolder; they work the same on the live tree
// (under its lock) and on a working copy.
#include <algorithm>
#include <string_view>

#include "orvihttp/content/virtual_directory.h"

namespace {

template <class List>
auto FindByName(List& list, const std::string& name) -> decltype(&list.front()) {
  for (auto& entry : list) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

// Walks `path` below `folder`: "/seg/.../last". Empty or relative paths name
// nothing here (the root's own "" is handled by the caller).
template <class Folder>
Folder* WalkToFolder(Folder* folder, std::string_view path) {
  while (folder) {
    if (path.empty() || path[0] != '/') return nullptr;
    std::size_t slash = path.find('/', 1);
    if (slash == std::string_view::npos) {
      return folder->FindFolder(std::string(path.substr(1)));
    }
    folder = folder->FindFolder(std::string(path.substr(1, slash - 1)));
    path = path.substr(slash);
  }
  return nullptr;
}

}  // namespace

const VirtualFile* VirtualFolder::FindFile(const std::string& wanted) const {
  return FindByName(files, wanted);
}

VirtualFile* VirtualFolder::FindFile(const std::string& wanted) {
  return FindByName(files, wanted);
}

const VirtualFolder* VirtualFolder::FindFolder(const std::string& wanted) const {
  return FindByName(subfolders, wanted);
}

VirtualFolder* VirtualFolder::FindFolder(const std::string& wanted) {
  return FindByName(subfolders, wanted);
}

const VirtualFile* VirtualFolder::FindIndexFile() const {
  for (const VirtualFile& file : files) {
    if (file.name.compare(0, 6, "index.") == 0) return &file;
  }
  return nullptr;
}

bool VirtualFolder::AddFile(const std::string& fileName, const std::string& realPath) {
  if (FindFile(fileName)) return false;
  files.push_back(VirtualFile{fileName, realPath, 0});
  return true;
}

bool VirtualFolder::AddFolder(const std::string& folderName) {
  if (FindFolder(folderName)) return false;
  VirtualFolder folder;
  folder.name = folderName;
  subfolders.push_back(std::move(folder));
  return true;
}

void VirtualFolder::RemoveEntry(const std::string& path) {
  VirtualFolder* folder = this;
  std::string_view rest = path;
  for (;;) {
    if (rest.empty()) return;
    if (rest[0] == '/') rest.remove_prefix(1);
    std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos || slash < 1 || rest.size() <= slash) break;
    folder = folder->FindFolder(std::string(rest.substr(0, slash)));
    if (!folder) return;
    rest = rest.substr(slash);
  }
  std::string last(rest);
  auto& folders = folder->subfolders;
  auto sub = std::find_if(folders.begin(), folders.end(),
                          [&](const VirtualFolder& f) { return f.name == last; });
  if (sub != folders.end()) {
    folders.erase(sub);
    return;
  }
  auto& entries = folder->files;
  auto file = std::find_if(entries.begin(), entries.end(),
                           [&](const VirtualFile& f) { return f.name == last; });
  if (file != entries.end()) entries.erase(file);
}

void VirtualFolder::Clear() {
  name.clear();
  subfolders.clear();
  files.clear();
}

const VirtualFile* VirtualFolder::ResolveFile(const std::string& path) const {
  const VirtualFolder* folder = this;
  std::string_view rest = path;
  while (folder) {
    if (rest.empty()) return nullptr;
    if (rest[0] != '/') return folder->FindFile(std::string(rest));
    std::size_t slash = rest.find('/', 1);
    if (slash == std::string_view::npos) return folder->FindFile(std::string(rest.substr(1)));
    folder = folder->FindFolder(std::string(rest.substr(1, slash - 1)));
    rest = rest.substr(slash);
  }
  return nullptr;
}

const VirtualFolder* VirtualFolder::ResolveFolder(const std::string& path) const {
  if (path.empty()) return this;
  return WalkToFolder(this, path);
}

VirtualFolder* VirtualFolder::ResolveFolder(const std::string& path) {
  if (path.empty()) return this;
  return WalkToFolder(this, path);
}
