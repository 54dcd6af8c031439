// The live tree: one lock for every reader and editor. Results leave the lock
// as copies so connection threads never hold it while they send.
#include "orvihttp/content/virtual_directory.h"

#include <cstdio>
#include <memory>
#include <new>
#include <system_error>

#include "foundation/disk_space.h"
#include "foundation/file_open.h"
#include "foundation/file_system.h"
#include "foundation/paths.h"

namespace {

// "" and "/" name the root; a trailing "/" is ignored.
VirtualFolder* FolderAt(VirtualFolder& root, std::string path) {
  if (!path.empty() && path.back() == '/') path.pop_back();
  return root.ResolveFolder(path);
}

struct Import {
  std::string chosen;  // the chosen folder, links resolved
  const ImportObserver& observer;
  std::vector<std::string> ancestors;  // resolved folders being imported
  std::vector<std::string> virtualPath;
  bool added = false;
};

void ImportInto(VirtualFolder& target, const std::string& realFolder,
                const std::vector<FolderEntry>& entries, Import& import) {
  // Links that point back up the chain would make the import endless.
  std::string resolved = RealPath(realFolder);
  for (const std::string& seen : import.ancestors) {
    if (seen == resolved) return;
  }
  if (static_cast<int>(import.ancestors.size()) >= kMaxVirtualFolderDepth) return;
  import.ancestors.push_back(resolved);
  for (const FolderEntry& entry : entries) {
    std::string realPath = JoinPath(realFolder, entry.name);
    // A link may lead anywhere; only what stays inside the chosen folder is
    // published.
    if (entry.isLink && !IsPathInside(RealPath(realPath), import.chosen)) continue;
    if (entry.isFolder) {
      std::optional<std::vector<FolderEntry>> inner = TryListFolder(realPath);
      if (!inner) continue;
      if (target.AddFolder(entry.name)) {
        import.added = true;
        if (import.observer) import.observer(import.virtualPath, entry.name, true, "");
      }
      import.virtualPath.push_back(entry.name);
      ImportInto(*target.FindFolder(entry.name), realPath, *inner, import);
      import.virtualPath.pop_back();
    } else if (entry.isFile && CanReadFile(realPath)) {
      if (target.AddFile(entry.name, realPath)) {
        import.added = true;
        if (import.observer) import.observer(import.virtualPath, entry.name, false, realPath);
      }
    }
  }
  import.ancestors.pop_back();
}

// Adds what `from` holds to `target` as an import would: existing folders are
// entered, existing file names keep their entries.
void MergeInto(VirtualFolder& target, const VirtualFolder& from) {
  for (const VirtualFile& file : from.files) target.AddFile(file.name, file.realPath);
  for (const VirtualFolder& sub : from.subfolders) {
    target.AddFolder(sub.name);
    MergeInto(*target.FindFolder(sub.name), sub);
  }
}

}  // namespace

bool ImportFolder(VirtualFolder& target, const std::string& realFolder,
                  const ImportObserver& observer) {
  Import import{RealPath(realFolder), observer, {}, {}, false};
  if (import.chosen.empty()) return false;
  std::optional<std::vector<FolderEntry>> entries = TryListFolder(realFolder);
  if (!entries) return false;
  ImportInto(target, realFolder, *entries, import);
  return import.added;
}

std::optional<VirtualFile> VirtualDirectory::ResolveFile(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const VirtualFile* file = root_.ResolveFile(path);
  if (!file) return std::nullopt;
  return *file;
}

std::optional<VirtualFolder> VirtualDirectory::ResolveFolder(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const VirtualFolder* folder = root_.ResolveFolder(path);
  if (!folder) return std::nullopt;
  VirtualFolder copy;
  copy.name = folder->name;
  copy.files = folder->files;
  copy.subfolders.reserve(folder->subfolders.size());
  for (const VirtualFolder& sub : folder->subfolders) {
    copy.subfolders.emplace_back();
    copy.subfolders.back().name = sub.name;
  }
  return copy;
}

std::optional<VirtualFolder> VirtualDirectory::CopyFolder(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const VirtualFolder* folder = root_.ResolveFolder(path);
  if (!folder) return std::nullopt;
  return *folder;
}

VirtualFolder VirtualDirectory::CopyTree() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return root_;
}

void VirtualDirectory::ReplaceTree(const VirtualFolder& newRoot) {
  VirtualFolder copy = newRoot;  // copied before the lock is taken
  VirtualFolder old;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    old = std::move(root_);
    root_ = std::move(copy);
  }
}

void VirtualDirectory::EditTree(const std::function<void(VirtualFolder& root)>& edit) {
  std::lock_guard<std::mutex> lock(mutex_);
  edit(root_);
}

bool VirtualDirectory::AddFile(const std::string& folderPath, const std::string& name,
                               const std::string& realPath) {
  std::lock_guard<std::mutex> lock(mutex_);
  VirtualFolder* folder = FolderAt(root_, folderPath);
  return folder && folder->AddFile(name, realPath);
}

bool VirtualDirectory::AddFolder(const std::string& folderPath, const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  VirtualFolder* folder = FolderAt(root_, folderPath);
  return folder && folder->AddFolder(name);
}

bool VirtualDirectory::ImportFolder(const std::string& folderPath, const std::string& realFolder) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!FolderAt(root_, folderPath)) return false;
  }
  // The disk is read outside the lock, so requests are not held up by a slow
  // folder scan; the result is merged in by the import's own rules after.
  VirtualFolder scanned;
  ::ImportFolder(scanned, realFolder);
  std::lock_guard<std::mutex> lock(mutex_);
  VirtualFolder* folder = FolderAt(root_, folderPath);
  if (!folder) return false;
  MergeInto(*folder, scanned);
  return true;
}

void VirtualDirectory::RemoveEntry(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  root_.RemoveEntry(path);
}

void VirtualDirectory::Clear() {
  VirtualFolder old;
  std::lock_guard<std::mutex> lock(mutex_);
  old = std::move(root_);
  root_.Clear();
}

bool VirtualDirectory::LoadTree(const std::string& filePath) {
  std::FILE* file = OpenFile(filePath, "rb");
  if (!file) return false;
  // Read to the end rather than trusting a seek: a folder opened as a file
  // reports a nonsense size.
  std::string buffer;
  bool ok = true;
  try {
    char chunk[64 * 1024];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) buffer.append(chunk, got);
    ok = !std::ferror(file);
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  std::fclose(file);
  if (!ok) return false;
  // A file that is valid but too big for the memory left is refused like a
  // damaged one; the server goes on with its current tree.
  std::optional<VirtualFolder> parsed;
  try {
    parsed = ParseTree(reinterpret_cast<const uint8_t*>(buffer.data()), buffer.size());
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!parsed) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::swap(root_, *parsed);
  }
  return true;  // the old tree goes with `parsed`, outside the lock
}

bool VirtualDirectory::SaveTree(const std::string& filePath) const {
  return WriteTree(filePath, false);
}

bool VirtualDirectory::WriteTree(const std::string& filePath, bool onDisk) const {
  std::string bytes;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    bytes = SerializeTree(root_);
  }
  std::FILE* file = OpenFile(filePath, "wb");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (onDisk) ok = FlushFileToDisk(file) && ok;
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

// The server saves while it serves: a crash in the middle of a write must
// leave the old tree readable, never half of the new one.
bool VirtualDirectory::SaveTreeAtomically(const std::string& filePath) const {
  std::lock_guard<std::mutex> saving(saveMutex_);
  const std::string temporary = filePath + ".tmp";
  if (!WriteTree(temporary, true)) {
    RemoveFile(temporary);
    return false;
  }
  if (RenameFile(temporary, filePath)) return true;
  RemoveFile(temporary);
  return false;
}
