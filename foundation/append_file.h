#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A file kept open for appending only, for logs that are written line by line
// from many threads. Every Append is one write at the end of the file, so the
// lines of concurrent writers never interleave and a process killed between
// two writes leaves only whole lines behind. Others may read, rename or
// delete the file while it is open. Like OpenFile, the handle is never
// inherited by a child process.
class AppendFile {
 public:
  // Opens `path` for appending, creating the file when it is missing; null
  // when it cannot be opened.
  static std::unique_ptr<AppendFile> Open(const std::string& path);
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Writes all `size` bytes at the end of the file; false when it failed.
  bool Append(const char* data, std::size_t size);
  // False once `path` may no longer lead to this open file (deleted, renamed
  // away or replaced), so the caller opens the path afresh. Cheap enough to
  // ask before every line: the path itself is looked at only now and then
  // (see AppendFileNoticeDelayMs).
  bool StillAt(const std::string& path) const;

 private:
  struct Handle;
  explicit AppendFile(std::unique_ptr<Handle> handle);
  std::unique_ptr<Handle> handle_;
};

// How long after a file was deleted or renamed away StillAt may still answer
// true.
uint32_t AppendFileNoticeDelayMs();
