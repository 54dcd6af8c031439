#include "orvihttp/content/small_file_cache.h"

#include <optional>

SmallFileCache& SmallFileCache::Shared() {
  static SmallFileCache cache;
  return cache;
}

std::shared_ptr<const std::string> SmallFileCache::Find(const std::string& path,
                                                        FileStatus* status) {
  FileStatus held;
  std::shared_ptr<const std::string> bytes;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    auto found = byPath_.find(path);
    if (found == byPath_.end()) return nullptr;
    entries_.splice(entries_.begin(), entries_, found->second);
    held = found->second->status;
    bytes = found->second->bytes;
  }
  // Looked at outside the lock: other requests need not wait for the disk.
  std::optional<FileStatus> now = QueryFileStatus(path);
  if (now && now->SameFileAs(held)) {
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
  entries_.push_front(Entry{path, status, std::move(bytes)});
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
