#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// The virtual directory: the only thing the server publishes. URL paths are
// matched against this tree; a real file is reachable exactly when a file
// entry names it. Names compare byte for byte, case-sensitive.

struct VirtualFile {
  std::string name;       // as it shows in URLs and listings
  std::string realPath;   // full path of the real file
  uint32_t reserved = 0;  // kept from OrviHTTP.dir and written back unchanged

  bool operator==(const VirtualFile&) const = default;
};

struct VirtualFolder {
  std::string name;
  std::vector<VirtualFolder> subfolders;  // insertion order, never sorted
  std::vector<VirtualFile> files;         // insertion order, never sorted

  bool operator==(const VirtualFolder&) const = default;

  // First entry of that name, or null. Pointers stay valid until the folder's
  // lists change.
  const VirtualFile* FindFile(const std::string& name) const;
  VirtualFile* FindFile(const std::string& name);
  const VirtualFolder* FindFolder(const std::string& name) const;
  VirtualFolder* FindFolder(const std::string& name);
  // First file, in list order, whose name begins with "index.".
  const VirtualFile* FindIndexFile() const;

  // False (and no change) when an entry of that name exists in the list.
  bool AddFile(const std::string& name, const std::string& realPath);
  bool AddFolder(const std::string& name);
  // A plain name removes the sub-folder of that name, else the file of that
  // name; "a/b" or "/a/b" walks into sub-folder a first.
  void RemoveEntry(const std::string& path);
  // The root of "Clear all": name "" and both lists empty.
  void Clear();

  // Lookups by URL path, relative to this folder (see virtual_directory.cpp).
  const VirtualFile* ResolveFile(const std::string& path) const;
  // "" gives this folder itself.
  const VirtualFolder* ResolveFolder(const std::string& path) const;
  VirtualFolder* ResolveFolder(const std::string& path);
};

// Told of every entry an import adds: the names of the virtual folders from
// the import's target down to the entry's folder, the entry's name, whether it
// is a folder, and for a file its real path.
using ImportObserver =
    std::function<void(const std::vector<std::string>& folders, const std::string& name,
                       bool isFolder, const std::string& realPath)>;

// Copies the entries of a real folder into `target` ("Add directory"): real
// sub-folders become virtual folders (an existing one of the same name is
// reused), files become entries with their full paths (an existing name keeps
// its old entry). The real folder itself does not become a folder. What cannot
// be read is skipped, and a link or junction that leads out of the chosen
// folder is not followed, so nothing outside it gets published. True when
// anything was added.
bool ImportFolder(VirtualFolder& target, const std::string& realFolder,
                  const ImportObserver& observer = {});

// OrviHTTP.dir: version word 256, then the root folder record.
inline constexpr uint32_t kVirtualDirectoryVersion = 256;
// Deeper trees in a file are refused whole, so neither the parser nor the
// destructor of a hostile tree can run out of stack.
inline constexpr int kMaxVirtualFolderDepth = 512;

// The whole file content for a tree.
std::string SerializeTree(const VirtualFolder& root);
// Parses a whole file content. Returns the tree, or nothing when the version
// is not 256, or a record runs past the data, or the tree is too deep.
std::optional<VirtualFolder> ParseTree(const uint8_t* data, std::size_t size);

// One server's live tree, guarded by its own lock. Every operation takes the
// lock; results are copies, so callers work on them without it.
class VirtualDirectory {
 public:
  // The entry a URL path names (already percent-decoded), as a copy.
  std::optional<VirtualFile> ResolveFile(const std::string& path) const;
  // A shallow copy of the folder a path names ("" = the root): its name, its
  // files and its sub-folders by name only (their lists empty).
  std::optional<VirtualFolder> ResolveFolder(const std::string& path) const;

  // A deep copy of the folder a path names and everything below it (an
  // archive of the folder), taken under the lock once.
  std::optional<VirtualFolder> CopyFolder(const std::string& path) const;
  // A deep copy of the whole tree (the Directory page's working copy).
  VirtualFolder CopyTree() const;
  // The live root becomes a deep copy of `root`, name included.
  void ReplaceTree(const VirtualFolder& root);
  // Runs `edit` on the live root under the lock. `edit` must not call back
  // into VirtualDirectory from another thread nor block.
  void EditTree(const std::function<void(VirtualFolder& root)>& edit);

  // Editing the live tree by folder path ("" or "/" = the root, "/a/b" = a
  // sub-folder). False when the folder does not exist or the name clashes.
  bool AddFile(const std::string& folderPath, const std::string& name, const std::string& realPath);
  bool AddFolder(const std::string& folderPath, const std::string& name);
  bool ImportFolder(const std::string& folderPath, const std::string& realFolder);
  // Removes the entry at `path` ("/a/b.txt" or "/a/sub"); a sub-folder wins
  // over a file of the same name.
  void RemoveEntry(const std::string& path);
  void Clear();

  // Reads OrviHTTP.dir; a missing, short, foreign-version or corrupt file
  // leaves the tree as it was. True when the tree was replaced.
  bool LoadTree(const std::string& filePath);
  // Writes the tree; false when the file could not be written.
  bool SaveTree(const std::string& filePath) const;
  // The same through a temporary file, on the disk before it is put in
  // its place in one step; one such save at a time.
  bool SaveTreeAtomically(const std::string& filePath) const;

 private:
  bool WriteTree(const std::string& filePath, bool onDisk) const;

  mutable std::mutex mutex_;
  // Saves from two uploads share the temporary file, and an earlier tree
  // must never be put in place after a later one.
  mutable std::mutex saveMutex_;
  VirtualFolder root_;
};
