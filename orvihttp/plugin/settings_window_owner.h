#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "orvihttp/ui/settings_window.h"

// Holds the plugin's settings window, if any, between the host's main thread
// (open, close at stop) and the status thread (frees a window the user
// closed). The settings flags say what state it is in: `MainDialogAlloc` while
// an object exists, `MainDialog` while its window is open (set and cleared by
// the window). Every step that tests the flags and deletes the object runs
// under one lock, and deleting the object waits for its thread, so neither
// caller can free it twice or free it under a running window.
class SettingsWindowOwner {
 public:
  using Factory = std::function<std::unique_ptr<SettingsWindowObject>()>;

  explicit SettingsWindowOwner(Factory factory);
  ~SettingsWindowOwner();

  // Command 3 and the first-run welcome: open the window or bring it forward.
  // A build without windows says so on standard error instead.
  void Open();
  // Status thread: frees a window the user has closed.
  void FreeIfClosed();
  // Plugin stop: closes an open window and frees it.
  void CloseAndFree();

 private:
  void FreeLocked();

  std::mutex mutex_;
  Factory factory_;
  std::unique_ptr<SettingsWindowObject> window_;
};
