#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "plugin_api/plugin_api.h"

// What the host needs from the window system: the hidden window and its
// message loop on the main thread, the tray icon, the rotation timer and the
// single-instance rule. One implementation per platform.
class HostPlatform {
 public:
  virtual ~HostPlatform() = default;

  // Ends a running host, if any, and returns once it has gone.
  virtual void EndRunningHost() = 0;
  // The hidden window (class and window). False, after telling the user, when
  // the host cannot run.
  virtual bool CreateHostWindow(const std::string& title) = 0;
  // The host's own icon, shown when no plugin report applies.
  virtual IconHandle HostIcon() const = 0;
  virtual void AddTrayIcon(IconHandle icon, const std::string& tip) = 0;
  virtual void ShowTray(IconHandle icon, const std::string& tip) = 0;
  virtual void DeleteTrayIcon() = 0;
  virtual void StartRotationTimer(uint32_t periodMs) = 0;
  virtual void StopRotationTimer() = 0;
  // Any thread: asks the main thread for a plugin rescan, without waiting.
  // `watchedFolder` outlives every request.
  virtual void PostRescan(const std::string& watchedFolder) = 0;
  // Main thread: hands a status message to the host window and returns once
  // it has been handled.
  virtual void SendToHostWindow(uint32_t code, const void* data, uint32_t count) = 0;
  // Runs the main thread's message loop until the host is told to end.
  virtual int RunMessageLoop() = 0;
  // Ends the message loop (Exit, HostQuit). The window stays, hidden, until
  // ReleaseHostWindow.
  virtual void Quit() = 0;
  // The last exit step, once the plugins are unloaded, the Temp folder is gone
  // and Trellan.ini is written: the window goes (the pid file's lock on
  // Linux). Whoever waits for it to go may then take over the files.
  virtual void ReleaseHostWindow() = 0;
  virtual void ShowAbout(const std::string& text) = 0;
  // "Manage plugins...": opens the settings dialog or brings it to the front.
  virtual void OpenManageDialog() = 0;
  // Host exit: ends the settings dialog if it is open.
  virtual void CloseManageDialog() = 0;
};

std::unique_ptr<HostPlatform> CreateHostPlatform();

// The status callback handed to every plugin. It delivers the report to the
// host's main thread and returns once it has been handled there (0).
int32_t HostCallback(int32_t pluginId, IconHandle icon, int32_t command, int32_t priority,
                     const char* text);
