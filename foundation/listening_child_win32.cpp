#include <windows.h>

#include <atomic>
#include <string>

#include "foundation/child_process.h"
#include "foundation/child_spawn_win32.h"
#include "foundation/command_line.h"
#include "foundation/listening_child.h"
#include "foundation/thread.h"

namespace {

void CloseIfOpen(HANDLE& handle) {
  if (handle && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  handle = nullptr;
}

// A pipe name no other process uses.
std::string NewPipeName() {
  static std::atomic<unsigned> counter{0};
  return "\\\\.\\pipe\\orvihttp-php-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(GetTickCount64()) + "-" + std::to_string(++counter);
}

// The client end of the child's pipe, opened for overlapped work so that
// every wait can time out and be woken by a stop.
class PipeConnection : public LocalConnection {
 public:
  PipeConnection(HANDLE pipe, HANDLE ioEvent, HANDLE wakeEvent)
      : pipe_(pipe), ioEvent_(ioEvent), wakeEvent_(wakeEvent) {}
  ~PipeConnection() override {
    CloseIfOpen(pipe_);
    CloseIfOpen(ioEvent_);
    CloseIfOpen(wakeEvent_);
  }

  bool Write(const char* bytes, std::size_t length) override {
    while (length > 0) {
      const DWORD piece = length > 0x10000 ? 0x10000 : static_cast<DWORD>(length);
      DWORD done = 0;
      if (Transfer(false, const_cast<char*>(bytes), piece, INFINITE, &done) != kDone) return false;
      bytes += done;
      length -= done;
    }
    return true;
  }

  std::ptrdiff_t ReadWithin(char* buffer, std::size_t length, uint32_t milliseconds) override {
    if (length == 0) return 0;
    const DWORD want = length > 0x10000 ? 0x10000 : static_cast<DWORD>(length);
    DWORD done = 0;
    switch (Transfer(true, buffer, want, milliseconds, &done)) {
      case kDone:
        return static_cast<std::ptrdiff_t>(done);
      case kEnded:
        return 0;
      case kTimedOutResult:
        return kTimedOut;
      default:
        return -1;
    }
  }

 private:
  enum Result { kDone, kEnded, kTimedOutResult, kFailed };

  Result Transfer(bool reading, char* buffer, DWORD length, DWORD milliseconds, DWORD* done) {
    StopWaker waker([this] { SetEvent(wakeEvent_); });
    if (WaitForSingleObject(wakeEvent_, 0) == WAIT_OBJECT_0) return kFailed;
    OVERLAPPED overlapped{};
    overlapped.hEvent = ioEvent_;
    ResetEvent(ioEvent_);
    const BOOL started = reading ? ReadFile(pipe_, buffer, length, nullptr, &overlapped)
                                 : WriteFile(pipe_, buffer, length, nullptr, &overlapped);
    if (!started) {
      const DWORD error = GetLastError();
      if (error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED) return kEnded;
      if (error != ERROR_IO_PENDING) return kFailed;
      HANDLE handles[2] = {ioEvent_, wakeEvent_};
      const DWORD waited = WaitForMultipleObjects(2, handles, FALSE, milliseconds);
      if (waited != WAIT_OBJECT_0) {
        CancelIoEx(pipe_, &overlapped);
        // The transfer may have finished meanwhile; its bytes count then.
        if (GetOverlappedResult(pipe_, &overlapped, done, TRUE) && *done > 0) return kDone;
        return waited == WAIT_TIMEOUT ? kTimedOutResult : kFailed;
      }
    }
    if (!GetOverlappedResult(pipe_, &overlapped, done, TRUE)) {
      const DWORD error = GetLastError();
      return error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED ? kEnded : kFailed;
    }
    if (reading && *done == 0) return kEnded;
    return kDone;
  }

  HANDLE pipe_;
  HANDLE ioEvent_;
  HANDLE wakeEvent_;
};

class PipeChild : public ListeningChild {
 public:
  PipeChild(HANDLE process, std::string pipeName)
      : process_(process), pipeName_(std::move(pipeName)) {}
  ~PipeChild() override {
    if (Running()) {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, 5000);
    }
    CloseIfOpen(process_);
  }

  bool Running() override { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

  std::unique_ptr<LocalConnection> Connect(uint32_t milliseconds) override {
    HANDLE wakeEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!wakeEvent) return nullptr;
    StopWaker waker([wakeEvent] { SetEvent(wakeEvent); });
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    DWORD pause = 1;
    // The one instance is busy from a connection until the child has
    // disconnected it and waits again: try until it is free.
    for (;;) {
      if (!Running()) break;
      HANDLE pipe = CreateFileA(pipeName_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
      if (pipe != INVALID_HANDLE_VALUE) {
        HANDLE ioEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!ioEvent) {
          CloseHandle(pipe);
          break;
        }
        return std::make_unique<PipeConnection>(pipe, ioEvent, wakeEvent);
      }
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline) break;
      const DWORD left = static_cast<DWORD>(deadline - now);
      if (WaitForSingleObject(wakeEvent, pause < left ? pause : left) == WAIT_OBJECT_0) break;
      if (pause < 20) pause *= 2;
    }
    CloseHandle(wakeEvent);
    return nullptr;
  }

 private:
  HANDLE process_;
  const std::string pipeName_;
};

}  // namespace

std::unique_ptr<ListeningChild> StartListeningChild(const std::string& commandLine,
                                                    const std::vector<std::string>& extra) {
  if (commandLine.size() > kMaxCommandLineLength || commandLine.find('\0') != std::string::npos)
    return nullptr;
  const std::string pipeName = NewPipeName();
  // One instance, only for this machine's local clients; the default
  // security keeps out other users. Made inheritable: it is the child's
  // standard input, as FastCGI programs on Windows expect.
  SECURITY_ATTRIBUTES inheritable{};
  inheritable.nLength = sizeof inheritable;
  inheritable.bInheritHandle = TRUE;
  HANDLE listening =
      CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE,
                       PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                       1, 65536, 65536, 0, &inheritable);
  if (listening == INVALID_HANDLE_VALUE) return nullptr;

  // No output or error handle: that is how the child tells it runs FastCGI.
  // It inherits its pipe and nothing else.
  PROCESS_INFORMATION process{};
  const bool started = StartChildProcess(commandLine, extra, listening, INVALID_HANDLE_VALUE,
                                         INVALID_HANDLE_VALUE, &listening, 1, &process);
  // The child has its copy; the server only ever connects.
  CloseHandle(listening);
  if (!started) return nullptr;
  CloseHandle(process.hThread);
  return std::make_unique<PipeChild>(process.hProcess, pipeName);
}
