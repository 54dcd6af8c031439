// Sends HostQuit to every running Trellan host and waits until they are gone.
// Exit code 0 when none is left, 1 when one still runs after the wait. A host
// keeps its window until it has unloaded its plugins, removed its Temp folder
// and written Trellan.ini; its process ends right after, and only then is
// Trellan.exe itself free, so that is what this program waits for.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "orvihttp/config/product_identity.h"
#include "plugin_api/plugin_api.h"

// The host's window class and its quit event (kHostWindowClass and
// kHostQuitEventName of the host).
constexpr char kQuitEventName[] = "Local\\TrellanQuitRequest";

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("trellan-quit (%s) %s\n", kProductName, ORVI_VERSION_TEXT);
    return 0;
  }
  constexpr DWORD kWaitMs = 15000;
  DWORD started = GetTickCount();
  if (!FindWindowA("Trellan", nullptr)) {
    // A host whose window this program cannot see (another desktop) still
    // has its quit event; it is gone once the host has closed it.
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, kQuitEventName);
    if (!event) return 0;
    std::fprintf(stderr, "trellan-quit: no host window found; asking through its event\n");
    SetEvent(event);
    CloseHandle(event);
    while (HANDLE still = OpenEventA(SYNCHRONIZE, FALSE, kQuitEventName)) {
      CloseHandle(still);
      if (GetTickCount() - started > kWaitMs) {
        std::fprintf(stderr, "trellan-quit: the host did not exit\n");
        return 1;
      }
      Sleep(200);
    }
    return 0;
  }
  std::vector<DWORD> seen;
  std::vector<DWORD> answered;
  std::vector<HANDLE> processes;
  auto contains = [](const std::vector<DWORD>& ids, DWORD id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
  };
  while (HWND host = FindWindowA("Trellan", nullptr)) {
    if (GetTickCount() - started > kWaitMs) {
      std::fprintf(stderr, "trellan-quit: the host did not exit\n");
      return 1;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(host, &processId);
    if (!contains(seen, processId)) {
      seen.push_back(processId);
      if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId)) processes.push_back(process);
    }
    // A host that took HostQuit handles no more messages while it exits, so
    // it is asked only until it answers. It may be busy for a while before
    // that (a plugin reloading); do not hang on it.
    if (!contains(answered, processId)) {
      COPYDATASTRUCT quit{};
      quit.dwData = HostQuit;
      DWORD_PTR answer = 0;
      if (SendMessageTimeoutA(host, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&quit), SMTO_BLOCK,
                              5000, &answer)) {
        answered.push_back(processId);
      }
    }
    Sleep(200);
  }
  int result = 0;
  for (HANDLE process : processes) {
    DWORD spent = GetTickCount() - started;
    DWORD left = spent < kWaitMs ? kWaitMs - spent : 0;
    if (WaitForSingleObject(process, left) != WAIT_OBJECT_0) result = 1;
    CloseHandle(process);
  }
  if (result != 0) std::fprintf(stderr, "trellan-quit: the host did not exit\n");
  return result;
}
