#include "orvihttp/plugin/settings_window_owner.h"

#include <cstdio>

#include "orvihttp/config/server_keys.h"
#include "orvihttp/plugin/no_window_message.h"

void SettingsWindowOwner::Open() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::fputs(NoWindowMessage(GetSetting(kInstallPath)).c_str(), stderr);
  std::fflush(stderr);
}

void SettingsWindowOwner::FreeIfClosed() {
  std::lock_guard<std::mutex> lock(mutex_);
}

void SettingsWindowOwner::CloseAndFree() {
  std::lock_guard<std::mutex> lock(mutex_);
}
