// The Windows host: a hidden, disabled window of class "Trellan" whose thread
// is the host's main thread, the tray icon, its menu and the rotation timer.
#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <functional>
#include <vector>

#include "desktop/message_box.h"
#include "foundation/debug_output.h"
#include "host/host_info.h"
#include "host/host_platform.h"
#include "host/host_session.h"
#include "host/host_window_win32.h"
#include "host/manage_dialog_win32.h"
#include "host/plugin_stop_scope.h"
#include "host/resource_ids.h"
#include "host/tray_menu_win32.h"

namespace {

constexpr DWORD kQuitRetryMs = 500;
// How long a new host waits for an old one's process to end after its window
// has gone; only the process's last few steps are left by then.
constexpr DWORD kOldHostExitMs = 30000;
// Another thread's send to the host window waits in slices like this,
// checking meanwhile whether it should give up.
constexpr UINT kSendSliceMs = 50;

std::atomic<HWND> hostWindow{nullptr};
// Set by Exit and HostQuit. The window stays until the plugins are unloaded
// and Trellan.ini is written, so that its end tells the world the files are
// free; meanwhile the main thread handles no messages, so nothing sent to the
// window is acted on and no thread waits for it.
std::atomic<bool> hostExiting{false};
// A rescan request waits in the queue; later ones add nothing until the main
// thread has begun it.
std::atomic<bool> rescanPending{false};
std::atomic<DWORD> mainThread{0};

HICON IconFromHandle(IconHandle icon) {
  // Icon handles are 32-bit values, sign-extended on 64-bit Windows.
  return reinterpret_cast<HICON>(static_cast<intptr_t>(static_cast<int32_t>(icon)));
}

IconHandle HandleFromIcon(HICON icon) {
  return static_cast<IconHandle>(reinterpret_cast<uintptr_t>(icon));
}

void ShowTrayMenu(HWND window, HostSession& session) {
  HMENU menu = CreateTrayPopupMenu(session.BuildMenu());
  if (!menu) return;
  POINT cursor{};
  GetCursorPos(&cursor);
  SetForegroundWindow(window);
  UINT chosen =
      static_cast<UINT>(TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                                       cursor.x, cursor.y, 0, window, nullptr));
  // Lets the menu close properly when the user clicks elsewhere.
  PostMessageA(window, WM_NULL, 0, 0);
  DestroyMenu(menu);
  session.OnMenuChoice(chosen);
}

// Sends a message to the host window and returns once it has been handled.
// Another thread sends in slices and gives up once the host is exiting, its
// window is gone, or `giveUp` says so: the main thread may be waiting for
// that very thread (a dialog being closed, a plugin being stopped).
void SendWhileRunning(UINT message, WPARAM wparam, LPARAM lparam,
                      const std::function<bool()>& giveUp) {
  HWND window = hostWindow.load();
  if (!window || hostExiting.load()) return;
  if (GetCurrentThreadId() == mainThread.load()) {
    SendMessageA(window, message, wparam, lparam);
    return;
  }
  // A message the main thread has not taken yet is withdrawn when a slice
  // runs out.
  for (;;) {
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutA(window, message, wparam, lparam, SMTO_NORMAL, kSendSliceMs, &answer)) {
      return;
    }
    if (hostExiting.load() || hostWindow.load() != window || !IsWindow(window)) return;
    if (giveUp && giveUp()) return;
  }
}

// An exception must not travel through the system's code that called us: a
// failed message gets the default handling instead.
LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) try {
  // While the host exits, a message handled by a nested loop (in a plugin's
  // Stop) is taken and dropped: the session is being torn down.
  HostSession* session = hostExiting.load() ? nullptr : HostSession::Current();
  switch (message) {
    case WM_CREATE: {
      HINSTANCE instance = GetModuleHandleA(nullptr);
      HICON large = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TRELLAN));
      HICON small = static_cast<HICON>(
          LoadImageA(instance, MAKEINTRESOURCEA(IDI_TRELLAN), IMAGE_ICON, 16, 16, 0));
      SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large));
      SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
      return 0;
    }
    case WM_CLOSE:
    case WM_DESTROY:
      // Closing never ends the host; only Exit and HostQuit do.
      ShowWindow(window, SW_HIDE);
      return 0;
    case WM_COPYDATA: {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
      if (session && data) {
        session->OnCopyData(static_cast<uint32_t>(data->dwData), data->lpData, data->cbData);
      }
      return 0;
    }
    case kQuitRequestMessage:
      if (session) session->OnCopyData(HostQuit, nullptr, 0);
      return 0;
    case WM_TIMER:
      if (session && wparam == kRotationTimerId) session->OnRotationTimer();
      return 0;
    case WM_USER:
      rescanPending = false;
      if (session) session->OnRescanRequest();
      return 0;
    case kTrayCallbackMessage:
      if (session && LOWORD(lparam) == WM_LBUTTONDBLCLK) session->OnTrayDoubleClick();
      if (session && LOWORD(lparam) == WM_RBUTTONUP) ShowTrayMenu(window, *session);
      return 0;
    case kRotationTimerMessage:
      if (!session) return 0;
      if (wparam) {
        SetTimer(window, kRotationTimerId, static_cast<UINT>(wparam), nullptr);
      } else {
        KillTimer(window, kRotationTimerId);
      }
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
} catch (...) {
  ReportUncaughtException("HostWindowProc");
  return DefWindowProcA(window, message, wparam, lparam);
}

class Win32Host : public HostPlatform {
 public:
  Win32Host() : instance_(GetModuleHandleA(nullptr)) {
    mainThread.store(GetCurrentThreadId());
    trayIcon_ = static_cast<HICON>(
        LoadImageA(instance_, MAKEINTRESOURCEA(IDI_TRELLAN), IMAGE_ICON, 16, 16, 0));
  }

  ~Win32Host() override { ReleaseHostWindow(); }

  void EndRunningHost() override {
    std::vector<HANDLE> oldHosts;
    while (HWND running = FindWindowA(kHostWindowClass, nullptr)) {
      DWORD processId = 0;
      GetWindowThreadProcessId(running, &processId);
      if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId)) {
        oldHosts.push_back(process);
      }
      // An exiting host takes no messages until its window goes: a send that
      // is not taken in time is withdrawn, and the loop asks again.
      COPYDATASTRUCT quit{HostQuit, 0, nullptr};
      DWORD_PTR answer = 0;
      SendMessageTimeoutA(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&quit), SMTO_NORMAL,
                          kQuitRetryMs, &answer);
      Sleep(kQuitRetryMs);
    }
    // The old host's window went once it had unloaded its plugins from the
    // shared Temp folder and written Trellan.ini, which this host reads; its
    // process ends right after.
    for (HANDLE process : oldHosts) {
      WaitForSingleObject(process, kOldHostExitMs);
      CloseHandle(process);
    }
  }

  bool CreateHostWindow(const std::string& title) override {
    WNDCLASSEXA type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = HostWindowProc;
    type.hInstance = instance_;
    type.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    type.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
    type.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    type.lpszClassName = kHostWindowClass;
    if (!RegisterClassExA(&type)) {
      ShowMessageBox("Error: Window registration failed! Terminating program!", "Trellan",
                     MessageIcon::Warning);
      return false;
    }
    HWND window = CreateWindowExA(
        0, kHostWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW | WS_DISABLED, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_, nullptr);
    if (!window) {
      ShowMessageBox("Error: Window creation failed! Terminating program!", "Trellan",
                     MessageIcon::Warning);
      return false;
    }
    hostWindow.store(window);
    quitEvent_ = CreateEventA(nullptr, FALSE, FALSE, kHostQuitEventName);
    if (quitEvent_ && !RegisterWaitForSingleObject(&quitWait_, quitEvent_, QuitRequested, nullptr,
                                                   INFINITE, WT_EXECUTEDEFAULT)) {
      quitWait_ = nullptr;
    }
    return true;
  }

  IconHandle HostIcon() const override { return HandleFromIcon(trayIcon_); }

  // On a thread of the system's pool: the window's own thread does the exit.
  static VOID CALLBACK QuitRequested(PVOID, BOOLEAN) {
    if (HWND window = hostWindow.load()) PostMessageA(window, kQuitRequestMessage, 0, 0);
  }

  void AddTrayIcon(IconHandle icon, const std::string& tip) override {
    NOTIFYICONDATAA data = TrayData(icon, tip);
    data.uFlags |= NIF_MESSAGE;
    data.uCallbackMessage = kTrayCallbackMessage;
    Shell_NotifyIconA(NIM_ADD, &data);
    data.uVersion = NOTIFYICON_VERSION;
    if (!Shell_NotifyIconA(NIM_SETVERSION, &data)) {
      ShowMessageBox("WTF!?", "1", MessageIcon::None);
    }
  }

  void ShowTray(IconHandle icon, const std::string& tip) override {
    NOTIFYICONDATAA data = TrayData(icon, tip);
    Shell_NotifyIconA(NIM_MODIFY, &data);
  }

  void DeleteTrayIcon() override {
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = hostWindow.load();
    data.uID = kTrayIconId;
    Shell_NotifyIconA(NIM_DELETE, &data);
  }

  void StartRotationTimer(uint32_t periodMs) override {
    if (HWND window = hostWindow.load()) SetTimer(window, kRotationTimerId, periodMs, nullptr);
  }

  void StopRotationTimer() override {
    if (HWND window = hostWindow.load()) KillTimer(window, kRotationTimerId);
  }

  void PostRescan(const std::string& watchedFolder) override {
    HWND window = hostWindow.load();
    if (!window || rescanPending.exchange(true)) return;
    if (!PostMessageA(window, WM_USER, 0, reinterpret_cast<LPARAM>(watchedFolder.c_str()))) {
      rescanPending = false;
    }
  }

  void SendToHostWindow(uint32_t code, const void* data, uint32_t count) override {
    SendHostMessage(code, data, count);
  }

  int RunMessageLoop() override {
    MSG message;
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    return got == 0 ? static_cast<int>(message.wParam) : 0;
  }

  void Quit() override {
    hostExiting.store(true);
    PostQuitMessage(0);
  }

  void ReleaseHostWindow() override {
    // The quit event goes with the window: trellan-quit waits for either.
    if (quitWait_) UnregisterWaitEx(quitWait_, INVALID_HANDLE_VALUE);
    quitWait_ = nullptr;
    if (quitEvent_) CloseHandle(quitEvent_);
    quitEvent_ = nullptr;
    if (HWND window = hostWindow.exchange(nullptr)) DestroyWindow(window);
  }

  void ShowAbout(const std::string& text) override {
    MessageBoxA(nullptr, text.c_str(), "About", MB_OK);
  }

  void OpenManageDialog() override { ManageDialog::Open(); }

  void CloseManageDialog() override { ManageDialog::Close(); }

 private:
  NOTIFYICONDATAA TrayData(IconHandle icon, const std::string& tip) const {
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = hostWindow.load();
    data.uID = kTrayIconId;
    data.uFlags = NIF_ICON | NIF_TIP;
    data.hIcon = IconFromHandle(icon);
    lstrcpynA(data.szTip, tip.c_str(), sizeof data.szTip);
    return data;
  }

  HINSTANCE instance_;
  HICON trayIcon_ = nullptr;
  HANDLE quitEvent_ = nullptr;
  HANDLE quitWait_ = nullptr;
};

}  // namespace

HWND HostWindow() {
  return hostWindow.load();
}

void SendHostWindowMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  SendWhileRunning(message, wparam, lparam, nullptr);
}

void SendHostMessage(uint32_t code, const void* data, uint32_t count) {
  COPYDATASTRUCT copy{code, count, const_cast<void*>(data)};
  SendHostWindowMessage(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
}

std::unique_ptr<HostPlatform> CreateHostPlatform() {
  return std::make_unique<Win32Host>();
}

int32_t HostCallback(int32_t pluginId, IconHandle icon, int32_t command, int32_t priority,
                     const char* text) {
  StatusRecord record = MakeStatusRecord(pluginId, icon, command, text);
  COPYDATASTRUCT copy{StatusCodeForPriority(priority), sizeof record, &record};
  // The main thread may be inside this plugin's Stop, waiting for the thread
  // that calls here: give up then rather than wait forever.
  SendWhileRunning(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy),
                   [pluginId] { return IsPluginStopping(pluginId); });
  return 0;
}
