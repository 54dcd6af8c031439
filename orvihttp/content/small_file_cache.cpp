#include "orvihttp/content/small_file_cache.h"

#include <optional>

#include "foundation/clock.h"
#include "foundation/paths.h"

SmallFileCache& SmallFileCache::Shared() {
  // Made first, so ended after the cache that holds its folders.
  FolderWatch::Shared();
  static SmallFileCache cache;
  return cache;
}

std::shared_ptr<const std::string> SmallFileCache::Find(const std::string& path,
                                                        FileStatus* status) {
  FolderWatch& watch = FolderWatch::Shared();
  const int64_t nowMs = NowMs();
  FileStatus held;
  std::shared_ptr<const std::string> bytes;
  std::shared_ptr<const FolderWatch::Folder> folder;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    auto found = byPath_.find(path);
    if (found == byPath_.end()) return nullptr;
    entries_.splice(entries_.begin(), entries_, found->second);
    Entry& entry = *found->second;
    if (entry.stamp != 0 && nowMs - entry.checkedMs < kTrustMs && entry.folder->Live() &&
        watch.Stamp() == entry.stamp) {
      *status = entry.status;
      return entry.bytes;
    }
    held = entry.status;
    bytes = entry.bytes;
    folder = entry.folder;
  }
  // Taken before the look, so that a change during it is not missed.
  const uint64_t stamp = watch.Stamp();
  // Looked at outside the lock: other requests need not wait for the disk.
  std::optional<FileStatus> now = QueryFileStatus(path);
  if (now && now->SameFileAs(held)) {
    // A folder watched only now may have changed since the look: trusted
    // from the next one on.
    const bool watched = folder && folder->Live();
    if (!watched) folder = watch.Watch(ParentFolder(path));
    std::lock_guard<std::mutex> guard(mutex_);
    auto found = byPath_.find(path);
    if (found != byPath_.end() && found->second->bytes == bytes && folder) {
      Entry& entry = *found->second;
      entry.folder = std::move(folder);
      entry.stamp = watched ? stamp : 0;
      entry.checkedMs = nowMs;
    }
    *status = held;
    return bytes;
  }
  std::lock_guard<std::mutex> guard(mutex_);
  auto found = byPath_.find(path);
  if (found != byPath_.end() && found->second->bytes == bytes) Forget(found->second);
  return nullptr;
}

void SmallFileCache::Keep(const std::string& path, const FileStatus& status,
                          std::shared_ptr<const std::string> bytes) {
  if (bytes->size() > kLargestFile) return;
  std::lock_guard<std::mutex> guard(mutex_);
  auto found = byPath_.find(path);
  if (found != byPath_.end()) Forget(found->second);
  entries_.push_front(Entry{path, status, std::move(bytes), nullptr, 0, 0});
  byPath_[path] = entries_.begin();
  held_ += entries_.front().bytes->size() + path.size();
  while (held_ > kBudget && !entries_.empty()) Forget(std::prev(entries_.end()));
}

void SmallFileCache::Clear() {
  std::lock_guard<std::mutex> guard(mutex_);
  byPath_.clear();
  entries_.clear();
  held_ = 0;
}

void SmallFileCache::Forget(std::list<Entry>::iterator entry) {
  held_ -= entry->bytes->size() + entry->path.size();
  byPath_.erase(entry->path);
  entries_.erase(entry);
}
