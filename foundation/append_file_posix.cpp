#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/append_file.h"

struct AppendFile::Handle {
  int fd = -1;
  dev_t device = 0;
  ino_t inode = 0;
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
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) return false;
  return status.st_dev == handle_->device && status.st_ino == handle_->inode;
}

uint32_t AppendFileNoticeDelayMs() {
  return 0;
}
