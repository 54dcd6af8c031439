#include "orvihttp/logging/log_file.h"

#include "foundation/append_file.h"

bool AppendToLog(ServerLogs& logs, OpenLog OpenLogs::*which, const std::string& path,
                 const std::string& bytes) {
  std::shared_ptr<AppendFile> file;
  {
    std::lock_guard<std::mutex> lock(logs.filesMutex);
    OpenLog& log = logs.files.*which;
    if (log.path == path) file = log.file;
  }
  // Asking the file system happens outside the lock: other connections need
  // not wait for it.
  if (!file || !file->StillAt(path)) {
    std::lock_guard<std::mutex> lock(logs.filesMutex);
    OpenLog& log = logs.files.*which;
    if (log.file && log.path == path && log.file != file) {
      // Another writer opened it afresh meanwhile.
      file = log.file;
    } else {
      // Closed first (unless a writer still holds it): on Windows a deleted
      // file only goes away once its last handle does.
      file.reset();
      log.file.reset();
      log.path = path;
      log.file = AppendFile::Open(path);
      file = log.file;
    }
  }
  if (!file) return false;
  return bytes.empty() || file->Append(bytes.data(), bytes.size());
}
