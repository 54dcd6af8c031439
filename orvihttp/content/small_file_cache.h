#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "foundation/file_system.h"
#include "foundation/folder_watch.h"

// The bytes of small files recently served, so that another request for one
// costs a look at its path instead of an open, a read and a close: on
// Windows every open may wake a virus scanner, and under Wine it is three
// round trips to the wine server. A file is served from memory only while
// its path still shows the same file, with the same size and times, as when
// it was read. On Linux a file found so is trusted without another look
// until its folder reports a change, or for kTrustMs at most, which bounds
// what the folder's reports cannot see (a change through another link, a
// folder higher up moved, a network drive).
class SmallFileCache {
 public:
  static constexpr uint64_t kLargestFile = 32 * 1024;
  static constexpr std::size_t kBudget = 2 * 1024 * 1024;
  static constexpr int64_t kTrustMs = 1000;

  // The one cache of the server.
  static SmallFileCache& Shared();

  // The bytes of `path` when they are held and the file there is still the
  // one they were read from; `status` is then the file's. Null otherwise.
  std::shared_ptr<const std::string> Find(const std::string& path, FileStatus* status);
  // Holds `bytes`, read from the file at `path` whose status is `status`.
  void Keep(const std::string& path, const FileStatus& status,
            std::shared_ptr<const std::string> bytes);
  void Clear();

 private:
  struct Entry {
    std::string path;
    FileStatus status;
    std::shared_ptr<const std::string> bytes;
    std::shared_ptr<const FolderWatch::Folder> folder;  // null until first found unchanged
    uint64_t stamp = 0;                                 // the watch's when last found unchanged
    int64_t checkedMs = 0;
  };
  void Forget(std::list<Entry>::iterator entry);

  std::mutex mutex_;
  std::list<Entry> entries_;  // the most recently used first
  std::unordered_map<std::string, std::list<Entry>::iterator> byPath_;
  std::size_t held_ = 0;
};
