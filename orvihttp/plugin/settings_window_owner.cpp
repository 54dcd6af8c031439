#include "orvihttp/plugin/settings_window_owner.h"

#include <cstdio>

#include "orvihttp/plugin/server_texts.h"

void SettingsWindowOwner::Open() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::fprintf(stderr, "%s: there is no settings window in this build\n", kProductName);
  std::fflush(stderr);
}

void SettingsWindowOwner::FreeIfClosed() {
  std::lock_guard<std::mutex> lock(mutex_);
}

void SettingsWindowOwner::CloseAndFree() {
  std::lock_guard<std::mutex> lock(mutex_);
}
