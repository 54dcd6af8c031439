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

  // Asks the system for change notices on the folder and its sub-folders,
  // quietly. Every change from then on is kept for the thread, even one made
  // before the thread runs: armed before the host's first scan lists the
  // folder, the watcher also notices a plugin replaced while that scan still
  // loads the old file.
  bool Arm();
  // Starts the thread, arming first when that has not been done. When no
  // notice can be had, tells the user once; the host then runs without hot
  // reload.
  bool Begin();

 protected:
  void Run() override;

 private:
  struct Notification;  // the platform's change-notification handles
  std::string folder_;
  std::function<void()> onChange_;
  std::unique_ptr<Notification> notification_;
  std::string failure_;  // the system's reason when arming failed
};
