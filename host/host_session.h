#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/host_platform.h"
#include "host/tray_menu.h"
#include "host/tray_status.h"

class PluginWatcher;

// One run of the host: start-up, the handlers of the main thread's messages,
// and the exit sequence, in the same order on every platform.
class HostSession {
 public:
  explicit HostSession(HostPlatform& platform);
  ~HostSession();
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  // Starts the host, runs its message loop and shuts it down; returns the
  // loop's exit code.
  int Run();

  // The session whose Run is active, or null.
  static HostSession* Current();

  // Handlers, all on the main thread.
  void OnCopyData(uint32_t code, const void* data, uint32_t count);
  void OnRotationTimer();
  void OnRescanRequest();
  void OnTrayDoubleClick();
  // The tray menu's entries, built fresh (plugins' GetMenu is called here);
  // the caller owns the plugin submenus.
  std::vector<TrayMenuItem> BuildMenu();
  void OnMenuChoice(uint32_t id);

  TrayStatus& tray() { return tray_; }

 private:
  HostPlatform& platform_;
  std::string title_;
  std::string pluginsFolder_;
  TrayStatus tray_;
  std::unique_ptr<PluginWatcher> watcher_;
};
