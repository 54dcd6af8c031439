#include <windows.h>

#include <string>
#include <thread>

#include "host/host_info.h"
#include "plugin_api/plugin_api.h"
#include "tests/host/host_process.h"
#include "tests/host/test_desktop_win32.h"

struct HostProcess::Handle {
  PROCESS_INFORMATION process{};
  bool ended = false;
};

HostProcess::~HostProcess() {
  if (handle_ && !handle_->ended) {
    RequestExit();
    if (!WaitForExit(15000)) Kill();
  }
  if (handle_) {
    CloseHandle(handle_->process.hProcess);
    CloseHandle(handle_->process.hThread);
  }
  delete handle_;
}

bool HostProcess::Start(const std::string& program, const std::string& outputFile) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE output = CreateFileA(outputFile.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string desktop = TestDesktopName();
  startup.lpDesktop = desktop.data();
  if (output != INVALID_HANDLE_VALUE) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  }
  std::string command = "\"" + program + "\"";
  auto* handle = new Handle();
  BOOL started = CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                nullptr, &startup, &handle->process);
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
  if (!started) {
    delete handle;
    return false;
  }
  delete handle_;
  handle_ = handle;
  return true;
}

void HostProcess::RequestExit() {
  if (!handle_ || handle_->ended) return;
  DWORD process_id = handle_->process.dwProcessId;
  std::thread sender([process_id] {
    OnTestDesktop desktop;
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, "Trellan", nullptr)) != nullptr) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (owner != process_id) continue;
      COPYDATASTRUCT quit{HostQuit, 0, nullptr};
      DWORD_PTR answer = 0;
      SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&quit), SMTO_NORMAL,
                          5000, &answer);
      return;
    }
  });
  sender.join();
}

void HostProcess::Interrupt() {
  if (HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, kHostQuitEventName)) {
    SetEvent(event);
    CloseHandle(event);
  }
}

bool HostProcess::Running() {
  if (!handle_ || handle_->ended) return false;
  if (WaitForSingleObject(handle_->process.hProcess, 0) != WAIT_OBJECT_0) return true;
  DWORD code = 0;
  GetExitCodeProcess(handle_->process.hProcess, &code);
  exitCode_ = static_cast<int>(code);
  handle_->ended = true;
  return false;
}

bool HostProcess::WaitForExit(int timeoutMs) {
  if (!handle_) return true;
  if (handle_->ended) return true;
  WaitForSingleObject(handle_->process.hProcess, static_cast<DWORD>(timeoutMs));
  return !Running();
}

void HostProcess::Kill() {
  if (!handle_ || handle_->ended) return;
  TerminateProcess(handle_->process.hProcess, 1);
  WaitForSingleObject(handle_->process.hProcess, 5000);
  Running();
}

std::string ProgramFileName(const std::string& base) {
  return base + ".exe";
}

void ForgetHostRegistryPath() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quintarvo\\Trellan", 0, KEY_SET_VALUE, &key) ==
      ERROR_SUCCESS) {
    RegDeleteValueA(key, "Path");
    RegCloseKey(key);
  }
}
