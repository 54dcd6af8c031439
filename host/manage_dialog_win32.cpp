#include "host/manage_dialog_win32.h"

#include <mutex>

#include "foundation/debug_output.h"
#include "foundation/settings.h"
#include "host/host_keys.h"
#include "host/host_window_win32.h"
#include "host/manage_dialog_model.h"
#include "host/plugin_manager.h"
#include "host/resource_ids.h"

namespace {

// The open dialog. Guarded, because the dialog may end by itself on its own
// thread while the host ends it at exit.
std::mutex instanceMutex;
ManageDialog* instance = nullptr;

// A copy of the loader's list; the manager's lock is never held while this
// thread waits for the main thread.
std::vector<PluginSummary> LoadedPlugins() {
  PluginManagerAccess manager(ThePluginManager());
  return manager->List();
}

std::vector<std::string> NamesOf(const std::vector<PluginSummary>& plugins) {
  std::vector<std::string> names;
  for (const PluginSummary& plugin : plugins) names.push_back(plugin.name);
  return names;
}

void RefreshTray() {
  SendHostMessage(StatusRefresh, nullptr, 0);
}

void SetRotationTimer(uint32_t periodMs) {
  SendHostWindowMessage(kRotationTimerMessage, periodMs, 0);
}

}  // namespace

void ManageDialog::Open() {
  std::lock_guard<std::mutex> lock(instanceMutex);
  if (instance) {
    if (HWND dialog = instance->dialog_.load()) SetForegroundWindow(dialog);
    return;
  }
  instance = new ManageDialog();
  SetSetting(kHostDialogOpen, true);
  instance->Start();
}

void ManageDialog::Close() {
  ManageDialog* dialog;
  {
    std::lock_guard<std::mutex> lock(instanceMutex);
    dialog = instance;
    instance = nullptr;
  }
  if (!dialog) return;
  dialog->Stop();
  delete dialog;
}

ManageDialog::~ManageDialog() {
  Stop();
}

void ManageDialog::Run() {
  threadId_ = GetCurrentThreadId();
  // The dialog belongs on the host window's desktop. Windows gives a new
  // thread its process's desktop anyway; Wine gives it the default one.
  if (HWND host = HostWindow()) {
    if (HDESK desktop = GetThreadDesktop(GetWindowThreadProcessId(host, nullptr))) {
      SetThreadDesktop(desktop);
    }
  }
  HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MANAGE_PLUGINS),
                                   nullptr, DialogProc, reinterpret_cast<LPARAM>(this));
  if (!dialog) return;
  dialog_ = dialog;
  ShowWindow(dialog, SW_SHOW);
  SetForegroundWindow(dialog);
  {
    // A stop from the host ends the loop below; the window is destroyed here,
    // on the thread that owns it.
    DWORD thread = threadId_;
    StopWaker waker([thread] { PostThreadMessageA(thread, WM_QUIT, 0, 0); });
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
      if (IsDialogMessageA(dialog, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  dialog_ = nullptr;
  if (IsWindow(dialog)) DestroyWindow(dialog);
}

void ManageDialog::OnThreadStop() {
  SetSetting(kHostDialogOpen, false);
  if (Thread::Current() != this) return;  // the host ends it and frees it
  bool mine;
  {
    std::lock_guard<std::mutex> lock(instanceMutex);
    mine = instance == this;
    if (mine) instance = nullptr;
  }
  // Closed by the user: nobody else holds this object any more.
  if (mine) delete this;
}

// A failed message falls back to the dialog manager's own handling (FALSE),
// rather than letting an exception into the system's code.
INT_PTR CALLBACK ManageDialog::DialogProc(HWND dialog, UINT message, WPARAM wparam,
                                          LPARAM lparam) try {
  auto* self = reinterpret_cast<ManageDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      reinterpret_cast<ManageDialog*>(lparam)->Initialise(dialog);
      return TRUE;
    case WM_COMMAND:
      if (!self) return FALSE;
      switch (LOWORD(wparam)) {
        case IDOK:
          DestroyWindow(dialog);
          return TRUE;
        case IDC_ROTATE:
          if (HIWORD(wparam) == BN_CLICKED) self->ChooseRotation(dialog);
          return TRUE;
        case IDC_STATIC_ICON:
          if (HIWORD(wparam) == BN_CLICKED) self->ChooseStaticIcon(dialog);
          return TRUE;
        case IDC_STATIC_PLUGIN:
          if (HIWORD(wparam) == CBN_SELCHANGE) self->StaticPluginChanged(dialog);
          return TRUE;
        case IDC_PLUGIN_LIST:
          if (HIWORD(wparam) == LBN_SELCHANGE) self->PluginSelected(dialog);
          return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      DestroyWindow(dialog);
      return TRUE;
    case WM_DESTROY:
      PostQuitMessage(0);
      return TRUE;
  }
  return FALSE;
} catch (...) {
  ReportUncaughtException("ManageDialog::DialogProc");
  return FALSE;
}

void ManageDialog::Initialise(HWND dialog) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HICON large = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TRELLAN_LARGE));
  HICON small = static_cast<HICON>(
      LoadImageA(instance, MAKEINTRESOURCEA(IDI_TRELLAN), IMAGE_ICON, 16, 16, 0));
  SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large));
  SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));

  RECT frame;
  GetWindowRect(dialog, &frame);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  SetWindowPos(dialog, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

  if (GetSetting(kRotateIcon)) {
    CheckDlgButton(dialog, IDC_ROTATE, BST_CHECKED);
    CheckDlgButton(dialog, IDC_STATIC_ICON, BST_UNCHECKED);
    EnableWindow(GetDlgItem(dialog, IDC_ROTATE_SECONDS), TRUE);
    SetDlgItemInt(dialog, IDC_ROTATE_SECONDS, static_cast<UINT>(GetSetting(kRotateSeconds)), TRUE);
    EnableWindow(GetDlgItem(dialog, IDC_STATIC_PLUGIN), FALSE);
  } else {
    CheckDlgButton(dialog, IDC_STATIC_ICON, BST_CHECKED);
    CheckDlgButton(dialog, IDC_ROTATE, BST_UNCHECKED);
    EnableWindow(GetDlgItem(dialog, IDC_ROTATE_SECONDS), FALSE);
    SetDlgItemTextA(dialog, IDC_ROTATE_SECONDS, "");
    EnableWindow(GetDlgItem(dialog, IDC_STATIC_PLUGIN), TRUE);
    FillStaticPlugins(dialog);
  }
  for (const PluginSummary& plugin : LoadedPlugins()) {
    SendDlgItemMessageA(dialog, IDC_PLUGIN_LIST, LB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(plugin.name.c_str()));
  }
}

void ManageDialog::FillStaticPlugins(HWND dialog) {
  std::vector<std::string> names = NamesOf(LoadedPlugins());
  SendDlgItemMessageA(dialog, IDC_STATIC_PLUGIN, CB_RESETCONTENT, 0, 0);
  for (const std::string& name : names) {
    SendDlgItemMessageA(dialog, IDC_STATIC_PLUGIN, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(name.c_str()));
  }
  StaticIconChoice choice = ::ChooseStaticIcon(names, GetSetting(kStaticIcon));
  SendDlgItemMessageA(dialog, IDC_STATIC_PLUGIN, CB_SETCURSEL, static_cast<WPARAM>(choice.index),
                      0);
  if (choice.adopt) SetSetting(kStaticIcon, choice.name);
}

void ManageDialog::ChooseRotation(HWND dialog) {
  CheckDlgButton(dialog, IDC_ROTATE, BST_CHECKED);
  CheckDlgButton(dialog, IDC_STATIC_ICON, BST_UNCHECKED);
  EnableWindow(GetDlgItem(dialog, IDC_ROTATE_SECONDS), TRUE);
  EnableWindow(GetDlgItem(dialog, IDC_STATIC_PLUGIN), FALSE);
  SetDlgItemInt(dialog, IDC_ROTATE_SECONDS, static_cast<UINT>(GetSetting(kRotateSeconds)), TRUE);
  if (!GetSetting(kRotateIcon)) {
    SetRotationTimer(RotationPeriodMs(GetSetting(kRotateSeconds)));
    SetSetting(kRotateIcon, true);
    RefreshTray();
  }
}

void ManageDialog::ChooseStaticIcon(HWND dialog) {
  CheckDlgButton(dialog, IDC_STATIC_ICON, BST_CHECKED);
  CheckDlgButton(dialog, IDC_ROTATE, BST_UNCHECKED);
  EnableWindow(GetDlgItem(dialog, IDC_ROTATE_SECONDS), FALSE);
  SetDlgItemTextA(dialog, IDC_ROTATE_SECONDS, "");
  EnableWindow(GetDlgItem(dialog, IDC_STATIC_PLUGIN), TRUE);
  FillStaticPlugins(dialog);
  if (GetSetting(kRotateIcon)) {
    SetRotationTimer(0);
    SetSetting(kRotateIcon, false);
    RefreshTray();
  }
}

void ManageDialog::StaticPluginChanged(HWND dialog) {
  LRESULT index = SendDlgItemMessageA(dialog, IDC_STATIC_PLUGIN, CB_GETCURSEL, 0, 0);
  std::vector<PluginSummary> plugins = LoadedPlugins();
  if (index < 0 || static_cast<size_t>(index) >= plugins.size()) return;
  SetSetting(kStaticIcon, plugins[static_cast<size_t>(index)].name);
  RefreshTray();
}

void ManageDialog::PluginSelected(HWND dialog) {
  LRESULT index = SendDlgItemMessageA(dialog, IDC_PLUGIN_LIST, LB_GETCURSEL, 0, 0);
  std::vector<PluginSummary> plugins = LoadedPlugins();
  if (index < 0 || static_cast<size_t>(index) >= plugins.size()) return;
  const PluginSummary& plugin = plugins[static_cast<size_t>(index)];
  SetDlgItemTextA(dialog, IDC_PLUGIN_VERSION, FormatPluginVersion(plugin.version).c_str());
  SetDlgItemTextA(dialog, IDC_PLUGIN_STATUS, "Enabled");
  SetDlgItemTextA(dialog, IDC_PLUGIN_LOCATION, plugin.sourcePath.c_str());
}
