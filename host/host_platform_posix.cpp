// The headless host: the main thread runs a MessageLoop instead of a window,
// the tray is one line on standard output per change, SIGINT and SIGTERM act as
// Exit, and a locked pid file takes the place of the window a new host looks
// for.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "desktop/message_box.h"
#include "desktop/message_loop.h"
#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "foundation/thread.h"
#include "host/host_info.h"
#include "host/host_platform.h"
#include "host/host_session.h"
#include "host/plugin_stop_scope.h"

namespace {

// The host's own icon: its resource number stands for it.
constexpr IconHandle kHostIcon = 101;
constexpr auto kQuitRetry = std::chrono::milliseconds(500);

int signalPipe[2] = {-1, -1};

void OnExitSignal(int) {
  int saved = errno;
  char byte = 1;
  ssize_t written = write(signalPipe[1], &byte, 1);
  (void)written;
  errno = saved;
}

// Turns SIGINT and SIGTERM into an Exit on the main thread's loop.
class SignalWatcher : public Thread {
 public:
  explicit SignalWatcher(MessageLoop& loop) : loop_(loop) {}
  ~SignalWatcher() override { Stop(); }

 protected:
  void Run() override {
    int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) return;
    {
      StopWaker waker([wake] {
        uint64_t one = 1;
        ssize_t written = write(wake, &one, sizeof one);
        (void)written;
      });
      for (;;) {
        pollfd waits[2] = {{signalPipe[0], POLLIN, 0}, {wake, POLLIN, 0}};
        if (poll(waits, 2, -1) < 0) {
          if (errno == EINTR) continue;
          break;
        }
        if (waits[1].revents != 0 || StopRequested()) break;
        char bytes[16];
        if (read(signalPipe[0], bytes, sizeof bytes) > 0) {
          loop_.Post([this] { loop_.Quit(0); });
        }
      }
    }
    close(wake);
  }

 private:
  MessageLoop& loop_;
};

std::string PidFilePath() {
  std::string config;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (xdg && *xdg) {
    config = xdg;
  } else if (home && *home) {
    config = JoinPath(home, ".config");
  } else {
    return std::string();
  }
  std::string folder = JoinPath(config, "Quintarvo");
  CreateFolder(config);
  CreateFolder(folder);
  folder = JoinPath(folder, kHostProduct);
  CreateFolder(folder);
  return JoinPath(folder, "pid");
}

class PosixHost;
std::atomic<PosixHost*> theHost{nullptr};

class PosixHost : public HostPlatform {
 public:
  PosixHost() : mainThread_(std::this_thread::get_id()) { theHost.store(this); }

  ~PosixHost() override {
    theHost.store(nullptr);
    if (signals_) {
      signals_.reset();
      signal(SIGINT, SIG_DFL);
      signal(SIGTERM, SIG_DFL);
    }
    ReleaseHostWindow();
  }

  void EndRunningHost() override {
    // Exit signals are handled before this host can be found, so a host that
    // is told to end always ends in order.
    WatchExitSignals();
    std::string path = PidFilePath();
    if (path.empty()) return;
    pidFile_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (pidFile_ < 0) return;
    for (;;) {
      struct flock lock {};
      lock.l_type = F_WRLCK;
      lock.l_whence = SEEK_SET;
      if (fcntl(pidFile_, F_SETLK, &lock) == 0) break;
      if (errno != EACCES && errno != EAGAIN) return;
      // The lock's holder is the running host; the system names it, so a
      // stale pid in the file can never be signalled.
      struct flock holder {};
      holder.l_type = F_WRLCK;
      holder.l_whence = SEEK_SET;
      if (fcntl(pidFile_, F_GETLK, &holder) == 0 && holder.l_type != F_UNLCK && holder.l_pid > 0) {
        kill(holder.l_pid, SIGTERM);
      }
      std::this_thread::sleep_for(kQuitRetry);
    }
    std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(pidFile_, 0) == 0) {
      ssize_t written = pwrite(pidFile_, pid.data(), pid.size(), 0);
      (void)written;
    }
  }

  bool CreateHostWindow(const std::string&) override { return true; }

  IconHandle HostIcon() const override { return kHostIcon; }

  void AddTrayIcon(IconHandle icon, const std::string& tip) override { Print(icon, tip); }

  void ShowTray(IconHandle icon, const std::string& tip) override {
    if (icon != shownIcon_ || tip != shownTip_) Print(icon, tip);
  }

  void DeleteTrayIcon() override {
    std::printf("tray removed\n");
    std::fflush(stdout);
  }

  void StartRotationTimer(uint32_t periodMs) override {
    loop_.SetTimer(kRotationTimerId, periodMs, [] {
      if (HostSession* session = HostSession::Current()) session->OnRotationTimer();
    });
  }

  void StopRotationTimer() override { loop_.KillTimer(kRotationTimerId); }

  // inotify reports every single write of a file being copied; like the
  // Windows notification, requests that arrive before the main thread has
  // begun the pending rescan add nothing.
  void PostRescan(const std::string&) override {
    if (rescanPending_.exchange(true)) return;
    loop_.Post([this] {
      rescanPending_ = false;
      if (HostSession* session = HostSession::Current()) session->OnRescanRequest();
    });
  }

  void SendToHostWindow(uint32_t code, const void* data, uint32_t count) override {
    if (HostSession* session = HostSession::Current()) session->OnCopyData(code, data, count);
  }

  int RunMessageLoop() override { return loop_.Run(); }

  void Quit() override { loop_.Quit(0); }

  // Closing the pid file releases its lock: a waiting host may go on, and
  // finds the Temp folder gone and Trellan.ini written.
  void ReleaseHostWindow() override {
    if (pidFile_ >= 0) close(pidFile_);
    pidFile_ = -1;
  }

  void ShowAbout(const std::string& text) override {
    ShowMessageBox(text, "About", MessageIcon::None);
  }

  // There is no window to show on a headless host.
  void OpenManageDialog() override {}
  void CloseManageDialog() override {}

  // A status report from any thread, handled on the main thread before this
  // returns. Gives up when the main thread is inside this plugin's Stop, which
  // may be waiting for the very thread that reports.
  void Deliver(uint32_t code, const StatusRecord& record) {
    auto handle = [code, &record]() -> intptr_t {
      if (HostSession* session = HostSession::Current()) {
        session->OnCopyData(code, &record, sizeof record);
      }
      return 0;
    };
    if (std::this_thread::get_id() == mainThread_) {
      handle();
      return;
    }
    int32_t pluginId = record.pluginId;
    loop_.Send(handle, [pluginId] { return IsPluginStopping(pluginId); });
  }

 private:
  void WatchExitSignals() {
    if (signalPipe[0] < 0 && pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = OnExitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signals_ = std::make_unique<SignalWatcher>(loop_);
    signals_->Start();
  }

  void Print(IconHandle icon, const std::string& tip) {
    shownIcon_ = icon;
    shownTip_ = tip;
    std::printf("tray icon=%u tip=%s\n", static_cast<unsigned>(icon), tip.c_str());
    std::fflush(stdout);
  }

  MessageLoop loop_;
  std::thread::id mainThread_;
  int pidFile_ = -1;
  std::unique_ptr<SignalWatcher> signals_;
  std::atomic<bool> rescanPending_{false};
  IconHandle shownIcon_ = 0;
  std::string shownTip_;
};

}  // namespace

std::unique_ptr<HostPlatform> CreateHostPlatform() {
  return std::make_unique<PosixHost>();
}

int32_t HostCallback(int32_t pluginId, IconHandle icon, int32_t command, int32_t priority,
                     const char* text) {
  StatusRecord record = MakeStatusRecord(pluginId, icon, command, text);
  if (PosixHost* host = theHost.load()) host->Deliver(StatusCodeForPriority(priority), record);
  return 0;
}
