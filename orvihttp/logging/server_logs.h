#pragma once

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
