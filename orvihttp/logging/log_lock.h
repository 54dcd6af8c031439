#pragma once

// The one lock both logs share, so a response's text line and its binary
// records are never written at the same moment. Created on first use,
// destroyed at plugin stop. Lock order: the client registry before this one.
class LogLock {
 public:
  LogLock();
  ~LogLock();
  LogLock(const LogLock&) = delete;
  LogLock& operator=(const LogLock&) = delete;

  // Ends the lock object; the next LogLock makes a fresh one.
  static void Destroy();
};
