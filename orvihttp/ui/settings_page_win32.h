#pragma once

#include <windows.h>

#include <functional>

#include "orvihttp/http/server.h"
#include "orvihttp/ui/page_window_win32.h"
#include "orvihttp/ui/working_settings.h"

// The "Settings" page: edits a private copy of the configuration, which
// reaches the server through OK or Apply, and the live IP blacklist, which
// changes at once; the accounts too change at once, through their dialog.
class SettingsPage final : public PageWindow {
 public:
  // `markChanged(true)` after an edit enables Apply; `markChanged(false)`
  // once the controls are filled disables it again.
  SettingsPage(Server& server, std::function<void(bool)> markChanged);
  ~SettingsPage() override;

  const WorkingSettings& workingSettings() const { return working_; }

 private:
  void OnCreate() override;
  void OnCommand(int id, int code) override;
  void OnTimer() override;

  void NumberChanged(int id, const IntKey& key);
  void CheckClicked(int id, const BoolKey& key);
  void PathChanged(int id, const StringKey& key);
  void ChooseHttps();
  void EditAccounts();
  void ChooseLogFile();
  void ChoosePhpFolder();
  void AddToBlacklist();
  void RemoveFromBlacklist();
  void RefreshBlacklist();

  Server& server_;
  IpBlacklist& blacklist_;
  std::function<void(bool)> markChanged_;
  WorkingSettings working_;
};
