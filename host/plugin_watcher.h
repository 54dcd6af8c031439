#pragma once

#include <functional>
#include <memory>
#include <string>

#include "foundation/thread.h"

// Watches the Plugins folder (and what lies below it) for created, deleted,
// renamed and rewritten files, and calls `onChange` from its own thread for
// every change notice. `onChange` only posts a rescan request; the rescan
// itself runs on the main thread.
// What the user is told when the folder cannot be watched: which folder, and
// the system's reason.
std::string WatchFailedText(const std::string& folder, const std::string& reason);

class PluginWatcher : public Thread {
 public:
  PluginWatcher(std::string folder, std::function<void()> onChange);
  ~PluginWatcher() override;

  // Asks the system for change notices and starts the thread. When no notice
  // can be had, tells the user once; the host then runs without hot reload.
  bool Begin();

 protected:
  void Run() override;

 private:
  struct Notification;  // the platform's change-notification handle
  std::string folder_;
  std::function<void()> onChange_;
  std::unique_ptr<Notification> notification_;
};
