#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "orvihttp/logging/display_queue.h"

class AppendFile;

// One log's file as it is kept open between lines: the path it was opened
// under, and the file (shared, so a writer still using it when another thread
// replaces it keeps it alive until its line is written).
struct OpenLog {
  std::string path;
  std::shared_ptr<AppendFile> file;
  // Lines held back to go out with later ones in one write (see
  // HoldBackLogLines), for `heldPath`, since `heldSinceMs`.
  std::string held;
  std::string heldPath;
  int64_t heldSinceMs = 0;
  // Taken by the one writer at a time, so lines leave in the order they came.
  std::mutex writing;
};

struct OpenLogs {
  OpenLog access;
  OpenLog binary;
};

// Where one server's lines go: its two log files and the queue of its Log
// page. The files' lock guards which files are open, not the writing itself:
// a writer takes it only to pick up the open file and writes after releasing
// it, so no connection waits for another one's disk. Lock order: the client
// registry before this one.
struct ServerLogs {
  std::mutex filesMutex;
  OpenLogs files;
  DisplayQueue display;
};
