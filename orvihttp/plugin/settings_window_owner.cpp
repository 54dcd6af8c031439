#include "orvihttp/plugin/settings_window_owner.h"

#include <cstdio>

#include "orvihttp/config/server_keys.h"
#include "orvihttp/plugin/no_window_message.h"

SettingsWindowOwner::SettingsWindowOwner(Factory factory) : factory_(std::move(factory)) {}

SettingsWindowOwner::~SettingsWindowOwner() {
  CloseAndFree();
}

void SettingsWindowOwner::Open() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (window_ && window_->IsOpen()) {
    window_->BringToFront();
    return;
  }
  // A window closed less than a second ago still waits for the status thread.
  FreeLocked();
  window_ = factory_();
  if (!window_) {
    std::fputs(NoWindowMessage(GetSetting(kInstallPath)).c_str(), stderr);
    std::fflush(stderr);
  }
}

void SettingsWindowOwner::FreeIfClosed() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (window_ && !window_->IsOpen()) FreeLocked();
}

void SettingsWindowOwner::CloseAndFree() {
  std::lock_guard<std::mutex> lock(mutex_);
  FreeLocked();
}

void SettingsWindowOwner::FreeLocked() {
  if (!window_) return;
  // The object's destructor closes an open window and waits for its thread.
  window_.reset();
}

bool SettingsWindowOwner::HasWindow() {
  std::lock_guard<std::mutex> lock(mutex_);
  return window_ != nullptr;
}

bool SettingsWindowOwner::WindowOpen() {
  std::lock_guard<std::mutex> lock(mutex_);
  return window_ && window_->IsOpen();
}
