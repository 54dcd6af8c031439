#pragma once

#include <functional>
#include <memory>

// The plugin's settings window: one window on a thread of its own. The object
// exists from the moment the window is asked for until its owner deletes it;
// the window itself may have been closed by the user long before.
class SettingsWindowObject {
 public:
  virtual ~SettingsWindowObject() = default;
  // Brings the open window in front of the others.
  virtual void BringToFront() = 0;
  // True from creation until the window's thread ends (the user closed it).
  // Any thread.
  virtual bool IsOpen() const = 0;
};

// Creates the object and starts the window's thread; its pages show and edit
// `server`, which outlives the object. Deleting the object closes the window
// (as Cancel) and waits for its thread. Its Help button calls `openHelp`.
// Null on a build without windows.
class Server;
std::unique_ptr<SettingsWindowObject> CreateSettingsWindow(Server& server,
                                                           std::function<void()> openHelp);
