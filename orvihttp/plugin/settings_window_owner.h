#pragma once

#include <mutex>

// Holds the plugin's settings window, if any, between the host's main thread
// (open, close at stop) and the status thread (frees a window the user
// closed). This build has no settings window yet: opening one says so on
// standard error and leaves `MainDialog` and `MainDialogAlloc` No.
class SettingsWindowOwner {
 public:
  // Command 3 and the first-run welcome: open the window or bring it forward.
  void Open();
  // Status thread: frees a window the user has closed.
  void FreeIfClosed();
  // Plugin stop: closes an open window and frees it.
  void CloseAndFree();

 private:
  std::mutex mutex_;
};
