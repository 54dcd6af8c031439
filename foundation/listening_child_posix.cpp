#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "foundation/child_process.h"
#include "foundation/child_spawn_posix.h"
#include "foundation/command_line.h"
#include "foundation/listening_child.h"
#include "foundation/thread.h"

namespace {

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

class SocketConnection : public LocalConnection {
 public:
  SocketConnection(int fd, int wakeFd) : fd_(fd), wakeFd_(wakeFd) {}
  ~SocketConnection() override {
    CloseFd(fd_);
    CloseFd(wakeFd_);
  }

  bool Write(const char* bytes, std::size_t length) override {
    StopWaker waker([this] { SignalWake(wakeFd_); });
    while (length > 0) {
      if (WaitForDescriptor(fd_, POLLOUT, wakeFd_, kWaitForever) != DescriptorReady::Yes)
        return false;
      ssize_t written = send(fd_, bytes, length, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (written < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        return false;
      }
      bytes += written;
      length -= static_cast<std::size_t>(written);
    }
    return true;
  }

  std::ptrdiff_t ReadWithin(char* buffer, std::size_t length, uint32_t milliseconds) override {
    if (length == 0) return 0;
    StopWaker waker([this] { SignalWake(wakeFd_); });
    for (;;) {
      switch (WaitForDescriptor(fd_, POLLIN, wakeFd_, milliseconds)) {
        case DescriptorReady::Yes:
          break;
        case DescriptorReady::TimedOut:
          return kTimedOut;
        case DescriptorReady::Stopped:
          return -1;
      }
      ssize_t got = recv(fd_, buffer, length, MSG_DONTWAIT);
      if (got >= 0) return got;
      if (errno == ECONNRESET) return 0;
      if (errno != EINTR && errno != EAGAIN) return -1;
    }
  }

 private:
  int fd_;
  int wakeFd_;
};

class SocketChild : public ListeningChild {
 public:
  SocketChild(pid_t pid, std::string folder, std::string socketPath)
      : pid_(pid), folder_(std::move(folder)), socketPath_(std::move(socketPath)) {}

  ~SocketChild() override {
    if (Running()) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    unlink(socketPath_.c_str());
    rmdir(folder_.c_str());
  }

  bool Running() override {
    if (ended_) return false;
    int status = 0;
    pid_t result = waitpid(pid_, &status, WNOHANG);
    if (result == 0) return true;
    ended_ = true;
    return false;
  }

  std::unique_ptr<LocalConnection> Connect(uint32_t milliseconds) override {
    // The child listens from the start: the socket was bound and listening
    // before it was handed over, so a connection waits in the backlog until
    // the child takes it.
    if (!Running()) return nullptr;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0 || wakeFd < 0) {
      CloseFd(fd);
      CloseFd(wakeFd);
      return nullptr;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath_.c_str(), socketPath_.size() + 1);
    int result = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (result != 0 && (errno == EINPROGRESS || errno == EAGAIN)) {
      // A full backlog: wait for room.
      StopWaker waker([wakeFd] { SignalWake(wakeFd); });
      if (WaitForDescriptor(fd, POLLOUT, wakeFd, milliseconds) == DescriptorReady::Yes) {
        int error = 0;
        socklen_t size = sizeof error;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
        result = error == 0 ? 0 : -1;
      }
    }
    if (result != 0) {
      CloseFd(fd);
      CloseFd(wakeFd);
      return nullptr;
    }
    return std::make_unique<SocketConnection>(fd, wakeFd);
  }

 private:
  const pid_t pid_;
  const std::string folder_;
  const std::string socketPath_;
  bool ended_ = false;
};

// A fresh folder only this user may enter, for the socket: short enough for
// a socket's path wherever the temporary folder is.
std::string MakePrivateFolder() {
  std::string base = "/tmp";
  if (const char* temp = getenv("TMPDIR"); temp && *temp && std::strlen(temp) < 60) base = temp;
  std::string pattern = base + "/orvihttp-php-XXXXXX";
  if (!mkdtemp(pattern.data())) return std::string();
  return pattern;
}

}  // namespace

std::unique_ptr<ListeningChild> StartListeningChild(const std::string& commandLine,
                                                    const std::vector<std::string>& extra) {
  if (commandLine.size() > kMaxCommandLineLength || commandLine.find('\0') != std::string::npos)
    return nullptr;
  std::vector<std::string> arguments = SplitCommandLine(commandLine);
  if (arguments.empty() || arguments[0].empty()) return nullptr;
  const std::string folder = MakePrivateFolder();
  if (folder.empty()) return nullptr;
  const std::string socketPath = folder + "/socket";

  int listening = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  if (listening < 0 ||
      bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listening, 64) != 0) {
    CloseFd(listening);
    unlink(socketPath.c_str());
    rmdir(folder.c_str());
    return nullptr;
  }

  const pid_t pid = SpawnChild(arguments, extra, listening, -1, -1);
  // The child has its copy; the server only ever connects.
  CloseFd(listening);
  if (pid < 0) {
    unlink(socketPath.c_str());
    rmdir(folder.c_str());
    return nullptr;
  }
  return std::make_unique<SocketChild>(pid, folder, socketPath);
}
