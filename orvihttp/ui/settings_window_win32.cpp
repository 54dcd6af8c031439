#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <atomic>
#include <functional>

#include "foundation/debug_output.h"
#include "foundation/setting_key.h"
#include "foundation/thread.h"
#include "orvihttp/config/product_identity.h"
#include "orvihttp/config/server_keys.h"
#include "orvihttp/http/server.h"
#include "orvihttp/ui/apply_changes.h"
#include "orvihttp/ui/directory_page_win32.h"
#include "orvihttp/ui/info_page_win32.h"
#include "orvihttp/ui/log_page_win32.h"
#include "orvihttp/ui/page_window_win32.h"
#include "orvihttp/ui/plugin_resources.h"
#include "orvihttp/ui/settings_page_win32.h"
#include "orvihttp/ui/settings_window.h"
#include "orvihttp/ui/settings_window_ids.h"
#include "orvihttp/ui/statistics_page_win32.h"
#include "orvihttp/ui/ui_module_win32.h"

namespace {

struct TabDescription {
  const char* label;
  int icon;
};

// In the order of the tab control.
constexpr TabDescription kTabs[] = {
    {"Info", ORVI_ICON_TAB_INFO},
    {"Statistics", ORVI_ICON_TAB_STATISTICS},
    {"Directory", ORVI_ICON_TAB_DIRECTORY},
    {"Settings", ORVI_ICON_TAB_SETTINGS},
    {"Log", ORVI_ICON_TAB_LOG},
};
constexpr int kTabCount = 5;

class SettingsWindow final : public SettingsWindowObject, private Thread {
 public:
  SettingsWindow(Server& server, std::function<void()> openHelp)
      : server_(server),
        openHelp_(std::move(openHelp)),
        infoPage_(server),
        directoryPage_(server.directory(), [this] { MarkChanged(true); }),
        settingsPage_(server, [this](bool changed) { MarkChanged(changed); }),
        logPage_(server.logs().display) {
    // The window belongs on the desktop of the host's thread, which asks for
    // it. Windows gives a new thread its process's desktop anyway; Wine gives
    // it the default one.
    desktop_ = GetThreadDesktop(GetCurrentThreadId());
    Start();
  }

  ~SettingsWindow() override { Stop(); }

  void BringToFront() override {
    HWND window = window_.load();
    if (!window) return;
    if (IsIconic(window)) ShowWindowAsync(window, SW_RESTORE);
    SetForegroundWindow(window);
  }

  bool IsOpen() const override { return open_.load(); }

 private:
  void Run() override;
  void OnThreadStop() override { open_.store(false); }

  static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
  void Initialise(HWND dialog);
  void Centre(HWND dialog);
  void FillTabs(HWND dialog);
  void CreatePages(HWND dialog);
  void ShowPage(int index);
  void MarkChanged(bool changed);
  void Apply();
  void Destroyed(HWND dialog);

  Server& server_;
  std::function<void()> openHelp_;
  HDESK desktop_ = nullptr;
  std::atomic<HWND> window_{nullptr};
  std::atomic<bool> open_{true};
  HIMAGELIST tabImages_ = nullptr;
  HICON largeIcon_ = nullptr;
  HICON smallIcon_ = nullptr;

  InfoPage infoPage_;
  StatisticsPage statisticsPage_;
  DirectoryPage directoryPage_;
  SettingsPage settingsPage_;
  LogPage logPage_;
};

void SettingsWindow::Run() {
  if (desktop_) SetThreadDesktop(desktop_);
  // The folder chooser is a shell dialog and needs COM on this thread.
  bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  // The queue must exist before a stop can post into it.
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  DWORD thread = GetCurrentThreadId();
  {
    // A stop from the plugin ends the loop below, as Cancel does.
    StopWaker waker([thread] { PostThreadMessageA(thread, WM_QUIT, 0, 0); });
    HWND dialog = CreateDialogParamA(UiModule(), MAKEINTRESOURCEA(IDD_SETTINGS_WINDOW), nullptr,
                                     Proc, reinterpret_cast<LPARAM>(this));
    if (dialog) {
      SetWindowTextA(dialog, kProductName);
      ShowWindow(dialog, SW_SHOW);
      SetForegroundWindow(dialog);
      while (!Thread::CurrentStopRequested() && GetMessageA(&message, nullptr, 0, 0) > 0) {
        // Ctrl+C copies the Log page's selected lines from wherever the
        // focus is; the key still goes on to its usual handling.
        if (message.message == WM_KEYDOWN && message.wParam == 'C' && GetKeyState(VK_CONTROL) < 0) {
          logPage_.CopySelection();
        }
        // Tab, arrows and default buttons, inside every page too.
        if (IsDialogMessageA(dialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
      window_ = nullptr;
      if (IsWindow(dialog)) DestroyWindow(dialog);
    }
  }
  if (com) CoUninitialize();
}

INT_PTR CALLBACK SettingsWindow::Proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) try {
  auto* self = reinterpret_cast<SettingsWindow*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      reinterpret_cast<SettingsWindow*>(lparam)->Initialise(dialog);
      return FALSE;  // the focus stays where Initialise put it
    case WM_COMMAND:
      if (!self) return FALSE;
      switch (LOWORD(wparam)) {
        case IDOK:
          self->Apply();
          DestroyWindow(dialog);
          return TRUE;
        case IDCANCEL:
          DestroyWindow(dialog);
          return TRUE;
        case IDC_APPLY:
          self->Apply();
          self->MarkChanged(false);
          return TRUE;
        case IDC_HELP_BUTTON:
          if (self->openHelp_) self->openHelp_();
          return TRUE;
      }
      return FALSE;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      if (self && header->idFrom == IDC_TABS && header->code == TCN_SELCHANGE) {
        self->ShowPage(TabCtrl_GetCurSel(header->hwndFrom));
        return TRUE;
      }
      return FALSE;
    }
    case WM_CLOSE:
      // The title bar's close button is Cancel.
      DestroyWindow(dialog);
      return TRUE;
    case WM_DESTROY:
      if (self) self->Destroyed(dialog);
      PostQuitMessage(0);
      return TRUE;
  }
  return FALSE;
} catch (...) {
  ReportUncaughtException("SettingsWindow::Proc");
  return FALSE;
}

void SettingsWindow::Initialise(HWND dialog) {
  window_ = dialog;
  Centre(dialog);
  MarkChanged(false);
  FillTabs(dialog);
  CreatePages(dialog);
  largeIcon_ = LoadUiIcon(ORVI_ICON_WINDOW, GetSystemMetrics(SM_CXICON));
  smallIcon_ = LoadUiIcon(ORVI_ICON_WINDOW, GetSystemMetrics(SM_CXSMICON));
  SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_));
  SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  SetFocus(GetDlgItem(dialog, IDC_TABS));
}

void SettingsWindow::Centre(HWND dialog) {
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  RECT frame{};
  GetWindowRect(dialog, &frame);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  int x = work.left + (work.right - work.left - width) / 2;
  int y = work.top + (work.bottom - work.top - height) / 2;
  // Larger than the work area: its top left corner stays visible.
  if (x < work.left) x = work.left;
  if (y < work.top) y = work.top;
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SettingsWindow::FillTabs(HWND dialog) {
  HWND tabs = GetDlgItem(dialog, IDC_TABS);
  tabImages_ = ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, kTabCount, 0);
  for (int index = 0; index < kTabCount; ++index) {
    HICON icon = LoadUiIcon(kTabs[index].icon, 32);
    int image = icon ? ImageList_AddIcon(tabImages_, icon) : -1;
    if (icon) DestroyIcon(icon);
    TCITEMA item{};
    item.mask = TCIF_TEXT | TCIF_IMAGE;
    item.pszText = const_cast<char*>(kTabs[index].label);
    item.iImage = image;
    SendMessageA(tabs, TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item));
  }
  TabCtrl_SetImageList(tabs, tabImages_);
}

void SettingsWindow::CreatePages(HWND dialog) {
  // In this order, so the Settings page's filling is the last word on Apply.
  PageWindow* order[] = {&infoPage_, &directoryPage_, &settingsPage_, &logPage_, &statisticsPage_};
  int templates[] = {IDD_INFO_PAGE, IDD_DIRECTORY_PAGE, IDD_SETTINGS_PAGE, IDD_LOG_PAGE,
                     IDD_STATISTICS_PAGE};
  HWND tabs = GetDlgItem(dialog, IDC_TABS);
  // The pages sit in the tab control's display area, above it in z-order.
  RECT area{};
  GetWindowRect(tabs, &area);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
  TabCtrl_AdjustRect(tabs, FALSE, &area);
  for (int index = 0; index < kTabCount; ++index) {
    HWND page = order[index]->Create(dialog, templates[index]);
    if (!page) continue;
    SetWindowPos(page, HWND_TOP, area.left, area.top, 0, 0, SWP_NOSIZE);
  }
  ShowPage(0);
}

void SettingsWindow::ShowPage(int index) {
  PageWindow* byTab[] = {&infoPage_, &statisticsPage_, &directoryPage_, &settingsPage_, &logPage_};
  for (int tab = 0; tab < kTabCount; ++tab) {
    if (HWND page = byTab[tab]->window()) ShowWindow(page, tab == index ? SW_SHOW : SW_HIDE);
  }
}

void SettingsWindow::MarkChanged(bool changed) {
  if (HWND dialog = window_.load()) {
    EnableWindow(GetDlgItem(dialog, IDC_APPLY), changed);
  }
}

void SettingsWindow::Apply() {
  directoryPage_.TakeInLiveChanges();
  ApplyChanges(server_.directory(), settingsPage_.workingSettings(), directoryPage_.workingTree());
  // Only a changed table is written, so the rights file of an install that
  // never set one does not appear, and a change the command-line tool made
  // meanwhile is not written over.
  if (!directoryPage_.rightsChanged()) return;
  const std::string error = ApplyRightsChanges(server_, directoryPage_.workingRights());
  if (error.empty()) {
    directoryPage_.RightsApplied();
  } else if (HWND dialog = window_.load()) {
    MessageBoxA(dialog, error.c_str(), "Error", MB_OK | MB_ICONEXCLAMATION);
  }
}

void SettingsWindow::Destroyed(HWND /*dialog*/) {
  window_ = nullptr;
  if (tabImages_) ImageList_Destroy(tabImages_);
  tabImages_ = nullptr;
  if (largeIcon_) DestroyIcon(largeIcon_);
  if (smallIcon_) DestroyIcon(smallIcon_);
  largeIcon_ = smallIcon_ = nullptr;
}

}  // namespace

std::unique_ptr<SettingsWindowObject> CreateSettingsWindow(Server& server,
                                                           std::function<void()> openHelp) {
  return std::make_unique<SettingsWindow>(server, std::move(openHelp));
}
