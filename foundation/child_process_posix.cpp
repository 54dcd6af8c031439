#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "foundation/child_process.h"
#include "foundation/child_spawn_posix.h"
#include "foundation/command_line.h"
#include "foundation/thread.h"

// MAX_ARG_STRLEN is 32 pages: one argument of 131072 bytes including its 0.
const std::size_t kMaxCommandLineLength = 131071;

namespace {

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Children whose stream was closed while they still ran. A worker polls them
// with WNOHANG until each has ended, then leaves; it starts again on demand.
class ChildReaper : public Thread {
 public:
  ~ChildReaper() override {
    Stop();
    // The module is going away: nobody would reap what is left.
    std::lock_guard<std::mutex> lock(mutex_);
    for (pid_t pid : pending_) {
      if (waitpid(pid, nullptr, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
      }
    }
  }

  void Adopt(pid_t pid) {
    bool start = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      pending_.push_back(pid);
      start = !working_;
      working_ = true;
    }
    if (start) Start();
  }

 protected:
  void Run() override {
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        std::erase_if(pending_, [](pid_t pid) {
          int status = 0;
          pid_t result = waitpid(pid, &status, WNOHANG);
          return result == pid || (result < 0 && errno == ECHILD);
        });
        if (pending_.empty()) {
          working_ = false;
          return;
        }
      }
      if (!Pause(50)) {
        std::lock_guard<std::mutex> lock(mutex_);
        working_ = false;
        return;
      }
    }
  }

 private:
  std::mutex mutex_;
  std::vector<pid_t> pending_;
  bool working_ = false;
};

ChildReaper& Reaper() {
  static ChildReaper reaper;
  return reaper;
}

class PosixChildStream : public ChildProcessStream {
 public:
  PosixChildStream(pid_t pid, bool reading, int streamFd, int otherFd, int wakeFd)
      : pid_(pid), reading_(reading), streamFd_(streamFd), otherFd_(otherFd), wakeFd_(wakeFd) {}

  ~PosixChildStream() override {
    CloseFd(streamFd_);
    CloseFd(otherFd_);
    CloseFd(wakeFd_);
    if (reaped_) return;
    if (abandoned_) kill(pid_, SIGKILL);
    if (!TryReap()) Reaper().Adopt(pid_);
  }

  std::ptrdiff_t Read(char* buffer, std::size_t length) override {
    return ReadWithin(buffer, length, kWaitForever);
  }

  std::ptrdiff_t ReadWithin(char* buffer, std::size_t length, uint32_t milliseconds) override {
    if (!reading_ || streamFd_ < 0) return -1;
    if (length == 0) return 0;
    StopWaker waker([this] { Wake(); });
    for (;;) {
      switch (WaitFor(streamFd_, POLLIN, milliseconds)) {
        case DescriptorReady::Yes:
          break;
        case DescriptorReady::TimedOut:
          return kTimedOut;
        case DescriptorReady::Stopped:
          return -1;
      }
      ssize_t got = read(streamFd_, buffer, length);
      if (got >= 0) return got;
      if (errno != EINTR && errno != EAGAIN) return -1;
    }
  }

  void Terminate() override {
    if (reaped_) return;
    abandoned_ = true;
    kill(pid_, SIGKILL);
  }

  bool Write(const char* bytes, std::size_t length) override {
    if (reading_ || streamFd_ < 0) return false;
    StopWaker waker([this] { Wake(); });
    // A child that has gone must give an error, not a SIGPIPE for the whole
    // process: block it on this thread and drop one that the write raised.
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    bool ok = true;
    while (length > 0) {
      if (WaitFor(streamFd_, POLLOUT, kWaitForever) != DescriptorReady::Yes) {
        ok = false;
        break;
      }
      ssize_t written = write(streamFd_, bytes, length);
      if (written < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        if (errno == EPIPE) {
          timespec zero{};
          sigtimedwait(&pipeSignal, nullptr, &zero);
        }
        ok = false;
        break;
      }
      bytes += written;
      length -= static_cast<std::size_t>(written);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return ok;
  }

  int WaitForExit() override {
    CloseFd(streamFd_);
    if (reaped_) return exitCode_;
    StopWaker waker([this] { Wake(); });
    // No handle to wait on besides the pid: look every few milliseconds,
    // longer as the wait goes on.
    int sleepMs = 1;
    while (!TryReap()) {
      pollfd wake{wakeFd_, POLLIN, 0};
      if (poll(&wake, 1, sleepMs) > 0) {
        abandoned_ = true;
        return -1;
      }
      sleepMs = std::min(sleepMs * 2, 50);
    }
    return exitCode_;
  }

 private:
  void Wake() { SignalWake(wakeFd_); }

  // A stop that ends a wait leaves the child to be killed when the stream
  // closes.
  DescriptorReady WaitFor(int fd, short events, uint32_t milliseconds) {
    const DescriptorReady ready = WaitForDescriptor(fd, events, wakeFd_, milliseconds);
    if (ready == DescriptorReady::Stopped) abandoned_ = true;
    return ready;
  }

  bool TryReap() {
    int status = 0;
    pid_t result = waitpid(pid_, &status, WNOHANG);
    if (result == 0) return false;
    reaped_ = true;
    if (result == pid_ && WIFEXITED(status)) exitCode_ = WEXITSTATUS(status);
    return true;
  }

  const pid_t pid_;
  const bool reading_;
  int streamFd_;
  int otherFd_;
  int wakeFd_;
  bool reaped_ = false;
  int exitCode_ = -1;
  std::atomic<bool> abandoned_{false};
};

// A pipe whose ends are not inherited and lie above the standard handles, so
// the child's dup2 onto 0 and 1 always makes a fresh, inheritable copy.
bool MakePipe(int ends[2]) {
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  for (int i = 0; i < 2; ++i) {
    if (ends[i] < 3) {
      int moved = fcntl(ends[i], F_DUPFD_CLOEXEC, 3);
      close(ends[i]);
      ends[i] = moved;
    }
  }
  if (ends[0] < 0 || ends[1] < 0) {
    CloseFd(ends[0]);
    CloseFd(ends[1]);
    return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<ChildProcessStream> OpenChildProcess(const std::string& commandLine,
                                                     const std::string& mode,
                                                     const ChildProcessOptions& options) {
  if (commandLine.size() > kMaxCommandLineLength) return nullptr;
  if (commandLine.find('\0') != std::string::npos) return nullptr;
  std::vector<std::string> arguments = SplitCommandLine(commandLine);
  if (arguments.empty() || arguments[0].empty()) return nullptr;

  int input[2];   // the child's standard input: [0] its end, [1] ours
  int output[2];  // the child's standard output: [0] ours, [1] its end
  if (!MakePipe(input)) return nullptr;
  if (!MakePipe(output)) {
    CloseFd(input[0]);
    CloseFd(input[1]);
    return nullptr;
  }
  int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  pid_t pid = -1;
  if (wakeFd >= 0)
    pid = SpawnChild(arguments, options.environment, input[0], output[1],
                     options.captureStandardError ? output[1] : -1);
  CloseFd(input[0]);
  CloseFd(output[1]);
  if (pid < 0) {
    CloseFd(input[1]);
    CloseFd(output[0]);
    CloseFd(wakeFd);
    return nullptr;
  }
  const bool reading = !mode.empty() && mode[0] == 'r';
  if (reading) {
    return std::make_unique<PosixChildStream>(pid, true, output[0], input[1], wakeFd);
  }
  return std::make_unique<PosixChildStream>(pid, false, input[1], output[0], wakeFd);
}

void CloseChildProcess(std::unique_ptr<ChildProcessStream> stream) {
  stream.reset();
}
