#include <errno.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "foundation/folder_watch.h"

namespace {

// What changes a file's bytes, size, times or place in the folder, or the
// folder's own place. Never reads: serving a file must not report a change.
constexpr uint32_t kChanges = IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                              IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// After these the watch no longer stands for the folder at its path.
constexpr uint32_t kFolderGone = IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT;

class Watched;

}  // namespace

struct FolderWatch::State {
  int fd = -1;  // open while any poller is counted in
  std::atomic<int> pollers{0};
  std::atomic<bool> taking{false};
  std::atomic<uint64_t> generation{1};
  // Guards the maps and the reading of `fd`.
  std::mutex mutex;
  std::unordered_map<std::string, std::weak_ptr<Watched>> byPath;
  std::unordered_map<int, std::weak_ptr<Watched>> byDescriptor;

  // The folder of `descriptor` is gone from its path; mutex held. Its
  // handle goes to `gone`, to be let go of after the mutex: the last one
  // out takes the mutex.
  void ForgetLocked(int descriptor, bool removeWatch, std::vector<std::shared_ptr<Watched>>* gone);
  void ForgetAllLocked(bool removeWatches, std::vector<std::shared_ptr<Watched>>* gone);
};

namespace {

class Watched : public FolderWatch::Folder {
 public:
  Watched(FolderWatch::State* state, int descriptor) : state_(state), descriptor_(descriptor) {}
  ~Watched() override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    // A later handle for the same path or descriptor keeps its entry.
    for (const std::string& path : paths) {
      auto found = state_->byPath.find(path);
      if (found != state_->byPath.end() && found->second.expired()) state_->byPath.erase(found);
    }
    auto found = state_->byDescriptor.find(descriptor_);
    if (found != state_->byDescriptor.end() && found->second.expired()) {
      state_->byDescriptor.erase(found);
      // A watch the system ended may have its number reused: only a live one is removed.
      if (Live()) inotify_rm_watch(state_->fd, descriptor_);
    }
  }
  bool Live() const override { return live.load(std::memory_order_acquire); }

  std::atomic<bool> live{true};
  std::vector<std::string> paths;  // one folder may be reached by several

 private:
  FolderWatch::State* const state_;
  const int descriptor_;
};

}  // namespace

void FolderWatch::State::ForgetLocked(int descriptor, bool removeWatch,
                                      std::vector<std::shared_ptr<Watched>>* gone) {
  auto found = byDescriptor.find(descriptor);
  if (found == byDescriptor.end()) return;
  if (std::shared_ptr<Watched> watched = found->second.lock()) {
    watched->live.store(false, std::memory_order_release);
    for (const std::string& path : watched->paths) {
      auto atPath = byPath.find(path);
      if (atPath != byPath.end() && atPath->second.lock() == watched) byPath.erase(atPath);
    }
    gone->push_back(std::move(watched));
  }
  byDescriptor.erase(found);
  if (removeWatch) inotify_rm_watch(fd, descriptor);
}

void FolderWatch::State::ForgetAllLocked(bool removeWatches,
                                         std::vector<std::shared_ptr<Watched>>* gone) {
  std::vector<int> descriptors;
  for (const auto& [descriptor, watched] : byDescriptor) descriptors.push_back(descriptor);
  for (int descriptor : descriptors) ForgetLocked(descriptor, removeWatches, gone);
}

FolderWatch::FolderWatch() : state_(new State()) {}

FolderWatch::~FolderWatch() {
  if (state_->fd >= 0) close(state_->fd);
  delete state_;
}

FolderWatch& FolderWatch::Shared() {
  static FolderWatch watch;
  return watch;
}

std::shared_ptr<const FolderWatch::Folder> FolderWatch::Watch(const std::string& folder) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (state_->fd < 0 || folder.empty()) return nullptr;
  auto found = state_->byPath.find(folder);
  if (found != state_->byPath.end()) {
    if (std::shared_ptr<Watched> held = found->second.lock()) return held;
  }
  const int descriptor = inotify_add_watch(state_->fd, folder.c_str(), kChanges);
  if (descriptor < 0) return nullptr;
  // The same folder by another path: the system gives its watch again.
  std::shared_ptr<Watched> watched;
  auto same = state_->byDescriptor.find(descriptor);
  if (same != state_->byDescriptor.end()) watched = same->second.lock();
  if (!watched) {
    watched = std::make_shared<Watched>(state_, descriptor);
    state_->byDescriptor[descriptor] = watched;
  }
  watched->paths.push_back(folder);
  state_->byPath[folder] = watched;
  return watched;
}

int FolderWatch::BeginPolling() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (state_->fd < 0) state_->fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (state_->fd < 0) return -1;
  state_->pollers.fetch_add(1);
  return state_->fd;
}

void FolderWatch::EndPolling() {
  std::vector<std::shared_ptr<Watched>> gone;
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (state_->pollers.fetch_sub(1) != 1) return;
  // Closing the descriptor ends every watch at once.
  state_->ForgetAllLocked(false, &gone);
  close(state_->fd);
  state_->fd = -1;
}

void FolderWatch::TakeChanges() {
  std::vector<std::shared_ptr<Watched>> gone;
  std::lock_guard<std::mutex> lock(state_->mutex);
  // Marked before the read: a poller that no longer sees the descriptor
  // readable, because this read emptied it, sees no stamp until the count
  // has moved on.
  state_->taking.store(true);
  bool changed = false;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t got = read(state_->fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    changed = true;
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      inotify_event event;
      std::memcpy(&event, buffer + at, sizeof event);
      if (event.mask & IN_Q_OVERFLOW) {
        // Reports were lost, perhaps that a folder went: none is trusted
        // until it is watched again.
        state_->ForgetAllLocked(true, &gone);
      } else if (event.mask & kFolderGone) {
        // Moved away, the system would go on watching it at its new place.
        state_->ForgetLocked(event.wd, (event.mask & IN_MOVE_SELF) != 0, &gone);
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
    }
  }
  if (changed) state_->generation.fetch_add(1);
  state_->taking.store(false);
}

uint64_t FolderWatch::Stamp() const {
  if (state_->pollers.load() == 0) return 0;
  // Read in this order; see TakeChanges.
  if (state_->taking.load()) return 0;
  return state_->generation.load();
}
