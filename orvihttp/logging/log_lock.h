#pragma once

#include <memory>
#include <string>

class AppendFile;

// One log's file as it is kept open between lines: the path it was opened
// under, and the file (shared, so a writer still using it when another thread
// replaces it keeps it alive until its line is written).
struct OpenLog {
  std::string path;
  std::shared_ptr<AppendFile> file;
};

struct OpenLogs {
  OpenLog access;
  OpenLog binary;
};

// The one lock both logs share. It guards which files are open, not the
// writing itself: a writer takes the lock only to pick up the open file and
// writes after releasing it, so no connection waits for another one's disk.
// Created on first use, destroyed at plugin stop. Lock order: the client
// registry before this one.
class LogLock {
 public:
  LogLock();
  ~LogLock();
  LogLock(const LogLock&) = delete;
  LogLock& operator=(const LogLock&) = delete;

  OpenLogs& logs() { return logs_; }

  // Ends the lock object and closes both log files (once the writers that
  // hold them are done); the next LogLock makes a fresh one.
  static void Destroy();

 private:
  OpenLogs& logs_;
};
