#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdint>

#include "desktop/message_box.h"
#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "foundation/system_error_text.h"
#include "host/plugin_file_name.h"
#include "host/plugin_watcher.h"

namespace {

// Name changes (create, delete, rename), a file closed after writing, also a
// bare time change. Not each single write: files kept open and written all
// the time (a server's logs) would wake the watcher for every line.
constexpr uint32_t kWatchedEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_ATTRIB;

}  // namespace

// inotify watches the Plugins folder and each of its sub-folders (the loader
// looks one level deep); an eventfd wakes the wait when the thread is stopped.
struct PluginWatcher::Notification {
  int inotify = -1;
  int wake = -1;
  int top = -1;  // watch descriptor of the Plugins folder itself

  ~Notification() {
    if (inotify >= 0) close(inotify);
    if (wake >= 0) close(wake);
  }

  void WatchSubFolder(const std::string& path) {
    inotify_add_watch(inotify, path.c_str(), kWatchedEvents);
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
  // Only a folder is watched: inotify would also watch a plain file of the
  // same name, which never tells of plugins.
  bool made = (notification->inotify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) >= 0 &&
              (notification->wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) >= 0 &&
              (notification->top = inotify_add_watch(notification->inotify, folder_.c_str(),
                                                     kWatchedEvents | IN_ONLYDIR)) >= 0;
  if (!made) {
    failure_ = LastSystemErrorText();
    return false;
  }
  for (const FolderEntry& entry : ListFolder(folder_)) {
    if (entry.isFolder) {
      notification->WatchSubFolder(JoinPath(folder_, entry.name));
    }
  }
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
  StopWaker waker([&notification] {
    uint64_t one = 1;
    ssize_t written = write(notification.wake, &one, sizeof one);
    (void)written;
  });
  for (;;) {
    pollfd waits[2] = {{notification.inotify, POLLIN, 0}, {notification.wake, POLLIN, 0}};
    if (poll(waits, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (waits[1].revents != 0 || StopRequested()) return;
    if (!(waits[0].revents & POLLIN)) return;
    // Drain everything queued; one rescan request covers the whole batch.
    alignas(inotify_event) char buffer[4096];
    bool relevant = false;
    for (;;) {
      ssize_t got = read(notification.inotify, buffer, sizeof buffer);
      if (got <= 0) break;
      for (ssize_t at = 0; at < got;) {
        auto* event = reinterpret_cast<inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        // Only a plugin file, a folder or lost events can change what is
        // loaded. A plugin's own files beside it (a server's logs, written
        // for every request) must not make the host rescan each time.
        if (event->len == 0 || (event->mask & (IN_ISDIR | IN_Q_OVERFLOW)) ||
            IsPluginFileName(event->name)) {
          relevant = true;
        }
        bool newFolder = (event->mask & IN_ISDIR) && (event->mask & (IN_CREATE | IN_MOVED_TO));
        if (newFolder && event->wd == notification.top && event->len > 0) {
          notification.WatchSubFolder(JoinPath(folder_, event->name));
        }
      }
    }
    if (relevant) onChange_();
  }
}
