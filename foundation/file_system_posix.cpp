#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/file_system.h"
#include "foundation/paths.h"

namespace {

FileTime LastWriteOf(const struct stat& info) {
  FileTime time;
  time.seconds = static_cast<int64_t>(info.st_mtim.tv_sec);
  time.nanoseconds = static_cast<uint32_t>(info.st_mtim.tv_nsec);
  return time;
}

std::optional<FileStatus> StatusOf(const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return std::nullopt;
  FileStatus status;
  status.size = static_cast<uint64_t>(info.st_size);
  status.lastWrite = LastWriteOf(info);
  status.identity = static_cast<uint64_t>(info.st_ino) ^ (static_cast<uint64_t>(info.st_dev) << 48);
  status.changed.seconds = static_cast<int64_t>(info.st_ctim.tv_sec);
  status.changed.nanoseconds = static_cast<uint32_t>(info.st_ctim.tv_nsec);
  return status;
}

}  // namespace

std::optional<std::vector<FolderEntry>> TryListFolder(const std::string& folder) {
  DIR* listing = opendir(folder.c_str());
  if (!listing) return std::nullopt;
  std::vector<FolderEntry> entries;
  while (const dirent* found = readdir(listing)) {
    if (std::strcmp(found->d_name, ".") == 0 || std::strcmp(found->d_name, "..") == 0) continue;
    FolderEntry entry;
    entry.name = found->d_name;
    // stat follows links, so a linked plugin file counts as a file and a
    // link to a folder as a folder.
    const std::string path = JoinPath(folder, entry.name);
    struct stat own {};
    entry.isLink = lstat(path.c_str(), &own) == 0 && S_ISLNK(own.st_mode);
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
      entry.isFolder = S_ISDIR(info.st_mode);
      entry.isFile = S_ISREG(info.st_mode);
      entry.size = static_cast<uint64_t>(info.st_size);
      entry.lastWrite = LastWriteOf(info);
    }
    entries.push_back(std::move(entry));
  }
  closedir(listing);
  return entries;
}

std::string RealPath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) return "";
  std::string result = resolved;
  std::free(resolved);
  return result;
}

std::optional<FileStatus> QueryFileStatus(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return std::nullopt;
  return StatusOf(info);
}

std::optional<FileStatus> QueryOpenFileStatus(std::FILE* file) {
  struct stat info {};
  if (!file || fstat(fileno(file), &info) != 0) return std::nullopt;
  return StatusOf(info);
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool CreateFolder(const std::string& path) {
  if (IsFolder(path)) return true;
  return mkdir(path.c_str(), 0777) == 0 || IsFolder(path);
}

bool RemoveFile(const std::string& path) {
  return unlink(path.c_str()) == 0;
}

bool RemoveFolder(const std::string& path) {
  return rmdir(path.c_str()) == 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}
