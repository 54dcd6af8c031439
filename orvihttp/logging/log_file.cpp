#include "orvihttp/logging/log_file.h"

#include "foundation/append_file.h"
#include "foundation/clock.h"

namespace {

thread_local int holdingBack = 0;

// The log's file at `path`, opened afresh when needed.
std::shared_ptr<AppendFile> FileAt(ServerLogs& logs, OpenLog& log, const std::string& path) {
  std::shared_ptr<AppendFile> file;
  {
    std::lock_guard<std::mutex> lock(logs.filesMutex);
    if (log.path == path) file = log.file;
  }
  // Asking the file system happens outside the lock: other connections need
  // not wait for it.
  if (file && file->StillAt(path)) return file;
  std::lock_guard<std::mutex> lock(logs.filesMutex);
  if (log.file && log.path == path && log.file != file) return log.file;  // opened meanwhile
  // Closed first (unless a writer still holds it): on Windows a deleted
  // file only goes away once its last handle does.
  file.reset();
  log.file.reset();
  log.path = path;
  log.file = AppendFile::Open(path);
  return log.file;
}

bool WriteAt(ServerLogs& logs, OpenLog& log, const std::string& path, const std::string& bytes) {
  std::shared_ptr<AppendFile> file = FileAt(logs, log, path);
  if (!file) return false;
  return bytes.empty() || file->Append(bytes.data(), bytes.size());
}

// Writes what is held back and then `bytes` (for `path`), in that order.
bool WriteOut(ServerLogs& logs, OpenLog& log, const std::string* bytes, const std::string& path) {
  std::lock_guard<std::mutex> writing(log.writing);
  std::string held;
  std::string heldPath;
  {
    std::lock_guard<std::mutex> lock(logs.filesMutex);
    held.swap(log.held);
    heldPath = log.heldPath;
  }
  if (bytes && !held.empty() && heldPath == path) {
    // One write for both.
    held += *bytes;
    bytes = nullptr;
  }
  bool ok = held.empty() || WriteAt(logs, log, heldPath, held);
  if (bytes) ok = WriteAt(logs, log, path, *bytes);
  return ok;
}

}  // namespace

HoldBackLogLines::HoldBackLogLines() {
  ++holdingBack;
}

HoldBackLogLines::~HoldBackLogLines() {
  --holdingBack;
}

bool AppendToLog(ServerLogs& logs, OpenLog OpenLogs::*which, const std::string& path,
                 const std::string& bytes) {
  OpenLog& log = logs.files.*which;
  if (holdingBack > 0 && !bytes.empty()) {
    const int64_t now = NowMs();
    std::lock_guard<std::mutex> lock(logs.filesMutex);
    const bool samePath = log.held.empty() || log.heldPath == path;
    if (samePath && log.held.size() + bytes.size() < kLogHoldBackBytes &&
        (log.held.empty() || now - log.heldSinceMs < kLogHoldBackMs)) {
      if (log.held.empty()) {
        log.heldPath = path;
        log.heldSinceMs = now;
      }
      log.held += bytes;
      return true;
    }
  }
  return WriteOut(logs, log, &bytes, path);
}

void FlushLogs(ServerLogs& logs) {
  for (OpenLog OpenLogs::*which : {&OpenLogs::access, &OpenLogs::binary}) {
    OpenLog& log = logs.files.*which;
    {
      std::lock_guard<std::mutex> lock(logs.filesMutex);
      if (log.held.empty()) continue;
    }
    WriteOut(logs, log, nullptr, std::string());
  }
}

void CloseLogFiles(ServerLogs& logs) {
  FlushLogs(logs);
  std::lock_guard<std::mutex> lock(logs.filesMutex);
  logs.files.access.file.reset();
  logs.files.binary.file.reset();
}
