#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

#include "foundation/append_file.h"

namespace {

// A look at the path costs a walk through every folder of it; at thousands
// of lines a second, once per line was a third of a request's system calls.
// Looked at this often instead, a rotated log is still noticed before a
// person could tell.
constexpr int64_t kRecheckAfterMs = 100;

int64_t CoarseNowMs() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

struct AppendFile::Handle {
  int fd = -1;
  dev_t device = 0;
  ino_t inode = 0;
  std::atomic<int64_t> checkedAtMs{0};
  std::atomic<bool> gone{false};  // once the path led elsewhere, for good
};

std::unique_ptr<AppendFile> AppendFile::Open(const std::string& path) {
  // O_APPEND makes each write land at the end in one step: writers need no
  // lock among themselves, not even across processes.
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  struct stat status;
  if (::fstat(fd, &status) != 0) {
    ::close(fd);
    return nullptr;
  }
  auto handle = std::make_unique<Handle>();
  handle->fd = fd;
  handle->device = status.st_dev;
  handle->inode = status.st_ino;
  handle->checkedAtMs.store(CoarseNowMs(), std::memory_order_relaxed);
  return std::unique_ptr<AppendFile>(new AppendFile(std::move(handle)));
}

AppendFile::AppendFile(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

AppendFile::~AppendFile() {
  ::close(handle_->fd);
}

bool AppendFile::Append(const char* data, std::size_t size) {
  while (size > 0) {
    // A short write happens only when the disk is full or a signal lands
    // mid-way; the rest then follows at once.
    ssize_t written = ::write(handle_->fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool AppendFile::StillAt(const std::string& path) const {
  if (handle_->gone.load(std::memory_order_relaxed)) return false;
  const int64_t now = CoarseNowMs();
  int64_t checked = handle_->checkedAtMs.load(std::memory_order_relaxed);
  if (now - checked < kRecheckAfterMs) return true;
  // One writer looks; the others write on meanwhile.
  if (!handle_->checkedAtMs.compare_exchange_strong(checked, now, std::memory_order_relaxed)) {
    return true;
  }
  struct stat status;
  const bool same = ::stat(path.c_str(), &status) == 0 && status.st_dev == handle_->device &&
                    status.st_ino == handle_->inode;
  if (!same) handle_->gone.store(true, std::memory_order_relaxed);
  return same;
}

uint32_t AppendFileNoticeDelayMs() {
  // The coarse clock may lag by a few milliseconds more.
  return kRecheckAfterMs + 20;
}
