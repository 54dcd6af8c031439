#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "orvihttp/logging/server_logs.h"

// Appends `bytes` to the log `which` (OpenLogs::access or OpenLogs::binary)
// of `logs` at `path`, the file kept open from one call to the next. The file
// is opened afresh (and created) when `path` is not the path it was opened
// under, or when it was deleted or renamed away meanwhile. Empty `bytes` only
// open the file. False when it cannot be opened or written; the caller loses
// the bytes silently.
//
// Lines are written whole and in the order they came. On a thread that holds
// lines back (HoldBackLogLines) they may wait in memory to go out with others
// in one write; anywhere else they go out at once, after any held back.
bool AppendToLog(ServerLogs& logs, OpenLog OpenLogs::*which, const std::string& path,
                 const std::string& bytes);

// Writes out the lines held back for both logs of `logs`.
void FlushLogs(ServerLogs& logs);
// Writes out what is held back and closes both files; the next line opens
// its file again.
void CloseLogFiles(ServerLogs& logs);

// The longest a held-back line waits, and the most bytes held back per log.
// A process killed meanwhile loses them: lines of the last moment.
inline constexpr int64_t kLogHoldBackMs = 200;
inline constexpr std::size_t kLogHoldBackBytes = 32 * 1024;

// While one lives on a thread, the lines that thread logs may be held back.
// The thread promises to call FlushLogs before it waits for work, so lines
// wait only while the server is busy, never past kLogHoldBackMs once a line
// more comes, and the pool writes them out every quarter of a second
// however busy it stays.
class HoldBackLogLines {
 public:
  HoldBackLogLines();
  ~HoldBackLogLines();
  HoldBackLogLines(const HoldBackLogLines&) = delete;
  HoldBackLogLines& operator=(const HoldBackLogLines&) = delete;
};
