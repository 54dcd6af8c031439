#include <windows.h>

#include <mutex>

#include "foundation/append_file.h"

namespace {

// Under Wine (and on file systems without POSIX delete semantics) a file
// deleted while a handle is open stays where it was, unchanged, until the
// last handle closes; nothing tells it apart. So the handle is renewed
// after this long: the deletion then completes and the path gets a fresh
// file. One open a second costs nothing next to one open per line.
constexpr DWORD kRenewAfterMs = 1000;

}  // namespace

struct AppendFile::Handle {
  HANDLE file = INVALID_HANDLE_VALUE;
  DWORD openedAt = 0;
  // Wine finds the end of the file and writes there in two steps, so two
  // threads appending at once could overwrite each other. Writers of this
  // one file take turns; nobody else waits for them.
  std::mutex writing;
};

std::unique_ptr<AppendFile> AppendFile::Open(const std::string& path) {
  // Append access alone makes every write go to the end of the file in one
  // step. Sharing all three ways lets the user read, move or delete the log
  // while the server runs. No security attributes: the handle is not
  // inherited.
  HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  auto handle = std::make_unique<Handle>();
  handle->file = file;
  handle->openedAt = GetTickCount();
  return std::unique_ptr<AppendFile>(new AppendFile(std::move(handle)));
}

AppendFile::AppendFile(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

AppendFile::~AppendFile() {
  CloseHandle(handle_->file);
}

bool AppendFile::Append(const char* data, std::size_t size) {
  std::lock_guard<std::mutex> lock(handle_->writing);
  while (size > 0) {
    DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(handle_->file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

bool AppendFile::StillAt(const std::string&) const {
  return GetTickCount() - handle_->openedAt < kRenewAfterMs;
}

uint32_t AppendFileNoticeDelayMs() {
  return kRenewAfterMs;
}
