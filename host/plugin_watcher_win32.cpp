#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "desktop/message_box.h"
#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "foundation/system_error_text.h"
#include "host/plugin_watcher.h"

namespace {
// A wait takes at most 64 handles: the subtree, the wake-up, the sub-folders.
constexpr size_t kMostSubFolders = MAXIMUM_WAIT_OBJECTS - 2;
// The notification cannot tell a plugin file from any other: a plugin's own
// files beside it (a server's logs, written for every request) signal it all
// the time. After a notice the watcher lets changes settle this long before
// it asks for a rescan and waits again, so a busy folder costs a couple of
// rescans a second rather than one per write, and a file copied in several
// steps is rescanned once it is whole.
constexpr uint32_t kSettleMs = 500;
constexpr DWORD kWatchedChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE;
}  // namespace

// A change notification on the folder's whole subtree, one on each
// first-level sub-folder, and an event that wakes the wait when the thread is
// stopped.
struct PluginWatcher::Notification {
  HANDLE change = INVALID_HANDLE_VALUE;
  HANDLE wake = nullptr;
  // The notification on the whole subtree is what the system offers; Wine
  // does not report changes inside sub-folders through it, so each
  // first-level sub-folder (the only ones the loader reads) gets one of its
  // own as well. The host merges the extra requests.
  std::map<std::string, HANDLE> subFolders;

  ~Notification() {
    for (const auto& entry : subFolders) FindCloseChangeNotification(entry.second);
    if (change != INVALID_HANDLE_VALUE) FindCloseChangeNotification(change);
    if (wake) CloseHandle(wake);
  }

  // Watches the sub-folders of `folder` that have no notification yet.
  void WatchSubFolders(const std::string& folder) {
    for (const FolderEntry& entry : ListFolder(folder)) {
      if (!entry.isFolder) continue;
      if (subFolders.count(entry.name) || subFolders.size() >= kMostSubFolders) continue;
      HANDLE subFolder = FindFirstChangeNotificationA(JoinPath(folder, entry.name).c_str(), FALSE,
                                                      kWatchedChanges);
      if (subFolder != INVALID_HANDLE_VALUE) subFolders.emplace(entry.name, subFolder);
    }
  }
};

PluginWatcher::PluginWatcher(std::string folder, std::function<void()> onChange)
    : folder_(std::move(folder)), onChange_(std::move(onChange)) {}

PluginWatcher::~PluginWatcher() {
  // The thread ends before the notification it waits on is closed.
  Stop();
  notification_.reset();
}

bool PluginWatcher::Arm() {
  auto notification = std::make_unique<Notification>();
  notification->change = FindFirstChangeNotificationA(folder_.c_str(), TRUE, kWatchedChanges);
  if (notification->change == INVALID_HANDLE_VALUE) {
    failure_ = LastSystemErrorText();
    return false;
  }
  notification->wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!notification->wake) {
    failure_ = LastSystemErrorText();
    return false;
  }
  notification->WatchSubFolders(folder_);
  notification_ = std::move(notification);
  return true;
}

bool PluginWatcher::Begin() {
  if (!notification_ && !Arm()) {
    ShowMessageBox(WatchFailedText(folder_, failure_), "Error", MessageIcon::None);
    return false;
  }
  return Start();
}

void PluginWatcher::Run() {
  Notification& notification = *notification_;
  StopWaker waker([&notification] { SetEvent(notification.wake); });
  for (;;) {
    std::vector<HANDLE> waits = {notification.change, notification.wake};
    std::vector<std::string> names;
    for (const auto& [name, change] : notification.subFolders) {
      waits.push_back(change);
      names.push_back(name);
    }
    DWORD woken =
        WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE, INFINITE);
    if (woken == WAIT_OBJECT_0 + 1 || StopRequested()) break;
    if (woken != WAIT_FAILED && !Pause(kSettleMs)) break;
    if (woken == WAIT_OBJECT_0) {
      onChange_();
      if (!FindNextChangeNotification(notification.change)) break;
      notification.WatchSubFolders(folder_);
    } else if (woken >= WAIT_OBJECT_0 + 2 && woken < WAIT_OBJECT_0 + waits.size()) {
      onChange_();
      const std::string& name = names[woken - WAIT_OBJECT_0 - 2];
      if (!FindNextChangeNotification(notification.subFolders[name])) {
        // The sub-folder is gone.
        FindCloseChangeNotification(notification.subFolders[name]);
        notification.subFolders.erase(name);
      }
    } else {
      break;
    }
  }
}
