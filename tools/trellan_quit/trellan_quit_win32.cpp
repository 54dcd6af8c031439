// Sends HostQuit to every running Trellan host and waits until they are gone.
// Exit code 0 when none is left, 1 when one still runs after the wait.
#include <windows.h>

#include <cstdio>
#include <cstring>

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
  while (HWND host = FindWindowA("Trellan", nullptr)) {
    if (GetTickCount() - started > kWaitMs) {
      std::fprintf(stderr, "trellan-quit: the host did not exit\n");
      return 1;
    }
    COPYDATASTRUCT quit{};
    quit.dwData = HostQuit;
    DWORD_PTR answer = 0;
    // The host may be busy for a while (a plugin stopping); do not hang on it.
    SendMessageTimeoutA(host, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&quit), SMTO_BLOCK, 5000,
                        &answer);
    Sleep(200);
  }
  return 0;
}
