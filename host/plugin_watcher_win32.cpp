#include <windows.h>

#include "foundation/message_box.h"
#include "host/plugin_watcher.h"

// A change notification on the folder's whole subtree, and an event that wakes
// the wait when the thread is stopped.
struct PluginWatcher::Notification {
  HANDLE change = INVALID_HANDLE_VALUE;
  HANDLE wake = nullptr;

  ~Notification() {
    if (change != INVALID_HANDLE_VALUE) FindCloseChangeNotification(change);
    if (wake) CloseHandle(wake);
  }
};

PluginWatcher::PluginWatcher(std::string folder, std::function<void()> onChange)
    : folder_(std::move(folder)), onChange_(std::move(onChange)) {}

PluginWatcher::~PluginWatcher() {
  // The thread ends before the notification it waits on is closed.
  Stop();
  notification_.reset();
}

bool PluginWatcher::Begin() {
  auto notification = std::make_unique<Notification>();
  notification->change = FindFirstChangeNotificationA(
      folder_.c_str(), TRUE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE);
  if (notification->change == INVALID_HANDLE_VALUE) {
    ShowMessageBox("Cannot create change notification handle", "Error", MessageIcon::None);
    return false;
  }
  notification->wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!notification->wake) return false;
  notification_ = std::move(notification);
  return Start();
}

void PluginWatcher::Run() {
  Notification& notification = *notification_;
  StopWaker waker([&notification] { SetEvent(notification.wake); });
  HANDLE waits[2] = {notification.change, notification.wake};
  for (;;) {
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) return;
    if (StopRequested()) return;
    onChange_();
    if (!FindNextChangeNotification(notification.change)) return;
  }
}
