#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "orvihttp/logging/binary_log.h"

// Reading the binary log as it grows, while the server appends to it without
// any lock shared with the reader.

// Passes the records from byte `offset` on to `record` and returns the
// offset after the last record read: the first byte of a record that the end
// of the file cuts short, so the next call reads it again once it is whole.
// Reads in bounded chunks; nothing when the file cannot be opened.
std::optional<uint64_t> ReadBinLogFrom(const std::string& path, uint64_t offset,
                                       const BinLogVisitor& record);
// Reads a whole log file in bounded chunks; false when it cannot be opened.
bool ReadBinLogFile(const std::string& path, const BinLogVisitor& record);

// Follows one log file from pass to pass. Only the bytes past the last pass
// are read, unless the file is no longer the one read before (cut shorter,
// or replaced by another): then it is read again from its start.
class BinLogFollower {
 public:
  enum class Pass {
    Unreadable,  // the file cannot be opened; nothing changed
    Continued,   // records past the previous pass, if any, were passed on
    Restarted,   // the file changed under us; records from its start were passed on
  };

  // `restart` runs before the first record of a pass that starts over.
  Pass ReadNew(const std::string& path, const std::function<void()>& restart,
               const BinLogVisitor& record);
  void Reset();
  uint64_t offset() const { return offset_; }

 private:
  uint64_t offset_ = 0;
  // Copies of the bytes at the start of the file and just before the offset;
  // a log is only ever appended to, so these never change in the same file.
  std::string head_;
  std::string tail_;
};
