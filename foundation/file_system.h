#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// What the program needs to know about files and folders on disk. Links are
// followed where the system follows them: on Linux a link to a folder counts
// as a folder, on Windows a junction is listed as the folder it stands for.

// When a file was last written: whole seconds since 1970 UTC (rounded down)
// and the nanoseconds within that second, as finely as the file system keeps
// them (100 ns steps on Windows). Two writes within one second still differ.
struct FileTime {
  int64_t seconds = 0;
  uint32_t nanoseconds = 0;
  bool operator==(const FileTime&) const = default;
};

// Size and last-write time of a file.
struct FileStatus {
  uint64_t size = 0;
  FileTime lastWrite;
  // Tells a file replaced, or rewritten with its size and last-write time
  // kept, from the one seen before: the inode and the time of its last change
  // on Linux, the time of its last change on Windows.
  uint64_t identity = 0;
  FileTime changed{};

  bool SameFileAs(const FileStatus& other) const {
    return size == other.size && lastWrite == other.lastWrite && identity == other.identity &&
           changed == other.changed;
  }
};

// One entry of a folder. An entry that is neither a folder nor a file is a
// device, a pipe, or a link whose target is gone.
struct FolderEntry {
  std::string name;
  bool isFolder = false;
  bool isFile = false;
  // A symbolic link, junction or other reparse point: what it stands for may
  // lie anywhere on the disk.
  bool isLink = false;
  uint64_t size = 0;
  FileTime lastWrite;
};

// Every entry of `folder` except "." and "..", in the order the system's
// directory search gives them (hidden ones included); empty when the folder
// cannot be read.
std::vector<FolderEntry> ListFolder(const std::string& folder);
// The same, but nothing when the folder cannot be read, so that an unreadable
// folder can be told from an empty one.
std::optional<std::vector<FolderEntry>> TryListFolder(const std::string& folder);

// The absolute path with every link and junction resolved; "" when the path
// does not exist or cannot be resolved.
std::string RealPath(const std::string& path);
// True when the file can be opened for reading now.
bool CanReadFile(const std::string& path);

// Nothing for a path that does not name a file (missing, or a folder).
std::optional<FileStatus> QueryFileStatus(const std::string& path);
// The same for a file already open: one open answers what a look at the path
// and then an open would.
std::optional<FileStatus> QueryOpenFileStatus(std::FILE* file);

bool IsFolder(const std::string& path);
bool IsFile(const std::string& path);
// Creates one folder; true when it exists afterwards.
bool CreateFolder(const std::string& path);
bool RemoveFile(const std::string& path);
// Removes an empty folder.
bool RemoveFolder(const std::string& path);
// Puts `from` in the place of `to` in one step, replacing what was there.
bool RenameFile(const std::string& from, const std::string& to);
