#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "orvihttp/ui/settings_window.h"

// Holds the plugin's settings window, if any, between the host's main thread
// (open, close at stop) and the status thread (frees a window the user
// closed). It keeps that state itself, not in the settings store: an object
// exists, and its window is open (the object says so). Every step that looks
// at the state and deletes the object runs under one lock, and deleting the
// object waits for its thread, so neither caller can free it twice or free it
// under a running window.
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
  // A window object exists (open, or closed and not yet freed).
  bool HasWindow();
  // Its window is open.
  bool WindowOpen();

 private:
  void FreeLocked();

  std::mutex mutex_;
  Factory factory_;
  std::unique_ptr<SettingsWindowObject> window_;
};
