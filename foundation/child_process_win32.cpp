#include <windows.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "foundation/child_process.h"
#include "foundation/child_spawn_win32.h"
#include "foundation/thread.h"

// CreateProcess takes at most 32767 characters including the closing 0.
const std::size_t kMaxCommandLineLength = 32766;

namespace {

constexpr DWORD kPipeBufferSize = 8192;

// While one child starts, the pipe ends meant for it are inheritable; a
// second start at the same moment would let its child inherit them too and
// keep them open, so the first stream would never see its end. Starts take
// turns.
std::mutex& StartLock() {
  static std::mutex lock;
  return lock;
}

void CloseIfOpen(HANDLE& handle) {
  if (handle) CloseHandle(handle);
  handle = nullptr;
}

class Win32ChildStream : public ChildProcessStream {
 public:
  Win32ChildStream(HANDLE process, HANDLE wakeEvent, bool reading, HANDLE streamPipe,
                   HANDLE otherPipe)
      : process_(process),
        wakeEvent_(wakeEvent),
        reading_(reading),
        streamPipe_(streamPipe),
        otherPipe_(otherPipe) {}

  ~Win32ChildStream() override {
    CloseIfOpen(streamPipe_);
    CloseIfOpen(otherPipe_);
    if (abandoned_) TerminateProcess(process_, 1);
    CloseIfOpen(process_);
    CloseIfOpen(wakeEvent_);
  }

  std::ptrdiff_t Read(char* buffer, std::size_t length) override {
    if (!reading_ || !streamPipe_) return -1;
    if (length == 0) return 0;
    // A blocked ReadFile on an anonymous pipe cannot be cancelled portably
    // (Wine included); ending the child closes the pipe's far end instead.
    StopWaker waker([this] { Wake(); });
    if (WaitForSingleObject(wakeEvent_, 0) == WAIT_OBJECT_0) return -1;
    DWORD want = length > 0x10000 ? 0x10000 : static_cast<DWORD>(length);
    DWORD got = 0;
    if (!ReadFile(streamPipe_, buffer, want, &got, nullptr)) {
      if (abandoned_) return -1;
      return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    }
    if (abandoned_) return -1;
    return static_cast<std::ptrdiff_t>(got);
  }

  std::ptrdiff_t ReadWithin(char* buffer, std::size_t length, uint32_t milliseconds) override {
    if (!reading_ || !streamPipe_) return -1;
    if (length == 0) return 0;
    // An anonymous pipe has no timed read: look for bytes, and between looks
    // wait on the wake event, a little longer each time.
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    DWORD pause = 1;
    for (;;) {
      DWORD available = 0;
      if (!PeekNamedPipe(streamPipe_, nullptr, 0, nullptr, &available, nullptr) || available > 0) {
        return Read(buffer, length);  // bytes, or the end: neither blocks
      }
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline) return kTimedOut;
      const DWORD left = static_cast<DWORD>(deadline - now);
      StopWaker waker([this] { Wake(); });
      if (WaitForSingleObject(wakeEvent_, pause < left ? pause : left) == WAIT_OBJECT_0) return -1;
      if (pause < 50) pause *= 2;
    }
  }

  void Terminate() override {
    abandoned_ = true;
    TerminateProcess(process_, 1);
  }

  bool Write(const char* bytes, std::size_t length) override {
    if (reading_ || !streamPipe_) return false;
    StopWaker waker([this] { Wake(); });
    while (length > 0) {
      if (abandoned_) return false;
      DWORD piece = length > 0x10000 ? 0x10000 : static_cast<DWORD>(length);
      DWORD written = 0;
      if (!WriteFile(streamPipe_, bytes, piece, &written, nullptr)) return false;
      bytes += written;
      length -= written;
    }
    return !abandoned_;
  }

  int WaitForExit() override {
    CloseIfOpen(streamPipe_);
    StopWaker waker([this] { SetEvent(wakeEvent_); });
    HANDLE handles[2] = {process_, wakeEvent_};
    DWORD result = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    if (result != WAIT_OBJECT_0) {
      abandoned_ = true;
      return -1;
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(process_, &code)) return -1;
    return static_cast<int>(code);
  }

 private:
  void Wake() {
    abandoned_ = true;
    SetEvent(wakeEvent_);
    TerminateProcess(process_, 1);
  }

  HANDLE process_;
  HANDLE wakeEvent_;
  const bool reading_;
  HANDLE streamPipe_;
  HANDLE otherPipe_;
  std::atomic<bool> abandoned_{false};
};

}  // namespace

std::unique_ptr<ChildProcessStream> OpenChildProcess(const std::string& commandLine,
                                                     const std::string& mode,
                                                     const ChildProcessOptions& options) {
  if (commandLine.size() > kMaxCommandLineLength) return nullptr;
  if (commandLine.find('\0') != std::string::npos) return nullptr;
  HANDLE wakeEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!wakeEvent) return nullptr;

  SECURITY_ATTRIBUTES inheritable{};
  inheritable.nLength = sizeof inheritable;
  inheritable.bInheritHandle = TRUE;
  HANDLE inputRead = nullptr, inputWrite = nullptr;    // the child's standard input
  HANDLE outputRead = nullptr, outputWrite = nullptr;  // the child's standard output
  PROCESS_INFORMATION process{};
  bool started = false;
  {
    std::lock_guard<std::mutex> lock(StartLock());
    if (CreatePipe(&inputRead, &inputWrite, &inheritable, kPipeBufferSize) &&
        CreatePipe(&outputRead, &outputWrite, &inheritable, kPipeBufferSize) &&
        // The parent's ends stay behind.
        SetHandleInformation(inputWrite, HANDLE_FLAG_INHERIT, 0) &&
        SetHandleInformation(outputRead, HANDLE_FLAG_INHERIT, 0)) {
      // The child inherits its two pipe ends and nothing else.
      HANDLE inherited[2] = {inputRead, outputWrite};
      started = StartChildProcess(commandLine, options.environment, inputRead, outputWrite,
                                  options.captureStandardError ? outputWrite : nullptr, inherited,
                                  2, &process);
    }
    // The child's ends belong to the child now (or to nobody).
    CloseIfOpen(inputRead);
    CloseIfOpen(outputWrite);
  }
  if (!started) {
    CloseIfOpen(inputWrite);
    CloseIfOpen(outputRead);
    CloseHandle(wakeEvent);
    return nullptr;
  }
  CloseHandle(process.hThread);
  const bool reading = !mode.empty() && mode[0] == 'r';
  if (reading) {
    return std::make_unique<Win32ChildStream>(process.hProcess, wakeEvent, true, outputRead,
                                              inputWrite);
  }
  return std::make_unique<Win32ChildStream>(process.hProcess, wakeEvent, false, inputWrite,
                                            outputRead);
}

void CloseChildProcess(std::unique_ptr<ChildProcessStream> stream) {
  stream.reset();
}
