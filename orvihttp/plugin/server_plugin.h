#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "foundation/semaphore.h"
#include "foundation/thread.h"
#include "orvihttp/http/access_rules.h"
#include "orvihttp/http/server.h"
#include "orvihttp/plugin/settings_window_owner.h"
#include "plugin_api/plugin_api.h"

// The HTTP server's plugin object. Plugin comes first, so the host finds the
// operation table, `pluginId` and `hostCallback` where the interface puts
// them; the Thread part is the status thread, which keeps the tray icon in
// step with the server.
class ServerPlugin : public Plugin, private Thread {
 public:
  ServerPlugin();
  // Run when the library is unloaded (the host itself never deletes it).
  ~ServerPlugin();

  // The host calls these from its own code, which has no way to handle an
  // exception: each stops any at its edge (a failed call does nothing, or
  // returns no menu).
  void Start() override;
  void Stop() override;
  uint32_t GetVersion() noexcept override;
  const char* GetName() noexcept override;
  MenuHandle GetMenu() override;
  int32_t OnCommand(int32_t code) override;

 private:
  enum class ServerState { None, Busy, Online, Offline };

  // The status thread.
  void Run() override;
  void Report(ServerState state);

  // The running server, from Start to Stop: the one the settings window and
  // the status thread look at.
  std::unique_ptr<Server> server_;
  // The accounts and rights files of the server's folder, looked at again by
  // the status thread.
  std::unique_ptr<AccessRulesFiles> accessRules_;
  SettingsWindowOwner settingsWindow_;
  // Never released: waiting on it is a pause that a stop cuts short.
  Semaphore pause_;
  IconHandle onlineIcon_ = 0;
  IconHandle offlineIcon_ = 0;
  IconHandle busyIcon_ = 0;
  std::atomic<bool> started_{false};
};
