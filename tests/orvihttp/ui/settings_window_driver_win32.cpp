#include "tests/orvihttp/ui/settings_window_driver_win32.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/dovetab.h"
#include "foundation/paths.h"
#include "foundation/registry.h"
#include "orvihttp/ui/settings_window_ids.h"
#include "tests/support/test_support.h"

namespace {

constexpr UINT kTrayMessage = WM_USER + 101;
constexpr char kCaption[] = "Orvi HTTP Server";

}  // namespace

InstalledServer::InstalledServer(const std::vector<std::string>& iniLines) {
  std::error_code error;
  std::filesystem::copy_file(JoinPath(TestBinaryDir(), "Trellan.exe"), root_.File("Trellan.exe"),
                             error);
  folder_ = JoinPath(root_.File("Plugins"), "Orvi HTTP Server");
  std::filesystem::create_directories(folder_, error);
  std::filesystem::copy_file(JoinPath(TestBinaryDir(), "OrviHTTP.dll"),
                             JoinPath(folder_, "OrviHTTP.dll"), error);
  RegistrySet("Trellan", "Path", root_.path());
  RegistrySet("Orvi HTTP Server", "Path", folder_);
  std::string text = dovetab::kHeader;
  for (const std::string& line : iniLines) text += line + "\r\n";
  WriteFileBytes(Ini(), text);
}

bool InstalledServer::Start(HostProcess& process) {
  return process.Start(root_.File("Trellan.exe"), root_.File("output.txt"));
}

std::string InstalledServer::Ini() const {
  return JoinPath(folder_, "OrviHTTP.ini");
}

std::string InstalledServer::Output() const {
  return ReadFileBytes(root_.File("output.txt"));
}

// Visible dialogs of that caption: the settings window (it holds the tab
// control) or a message box.
std::vector<HWND> Dialogs(bool settingsWindow) {
  std::vector<HWND> found;
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, "#32770", kCaption)) != nullptr) {
    if (!IsWindowVisible(window)) continue;
    if ((GetDlgItem(window, IDC_TABS) != nullptr) == settingsWindow) found.push_back(window);
  }
  return found;
}

HWND WaitForSettingsWindow() {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        std::vector<HWND> windows = Dialogs(true);
        found = windows.empty() ? nullptr : windows[0];
        return found != nullptr;
      },
      15000);
  return found;
}

// Answers the next question box with `button` and gives its text.
std::string AnswerQuestion(int button) {
  HWND box = nullptr;
  if (!WaitUntil(
          [&] {
            std::vector<HWND> boxes = Dialogs(false);
            box = boxes.empty() ? nullptr : boxes[0];
            return box != nullptr;
          },
          10000)) {
    return "(no question)";
  }
  char text[1024] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  PostMessageA(box, WM_COMMAND, button, 0);
  WaitUntil([&] { return !IsWindow(box); }, 5000);
  return text;
}

// Right-clicks the tray icon and picks the server's "Settings..." with the
// keyboard: past "Manage plugins..." to the plugin's submenu, whose first item
// it is.
bool ChooseSettings(HWND host) {
  PostMessageA(host, kTrayMessage, 0, WM_RBUTTONUP);
  HWND menu = nullptr;
  if (!WaitUntil([&] { return (menu = FindWindowA("#32768", nullptr)) && IsWindowVisible(menu); },
                 10000)) {
    return false;
  }
  for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RIGHT, VK_RETURN}) {
    PostMessageA(menu, WM_KEYDOWN, key, 0);
    Sleep(100);
  }
  return WaitUntil([] { return !IsWindowVisible(FindWindowA("#32768", nullptr)); }, 10000);
}

HWND WaitForHostWindow() {
  HWND host = nullptr;
  WaitUntil([&] { return (host = FindWindowA("Trellan", nullptr)) != nullptr; }, 20000);
  return host;
}

HWND OpenPage(HWND host, int tab, int control, HWND* window) {
  *window = ChooseSettings(host) ? WaitForSettingsWindow() : nullptr;
  if (!*window) return nullptr;
  HWND page = PageWith(*window, control);
  return page && GoToTab(*window, tab) ? page : nullptr;
}

// The page of the settings window that holds control `id`.
HWND PageWith(HWND window, int id) {
  HWND page = nullptr;
  while ((page = FindWindowExA(window, page, "#32770", nullptr)) != nullptr) {
    if (GetDlgItem(page, id)) return page;
  }
  return nullptr;
}

std::string Text(HWND dialog, int id) {
  char text[512] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

bool Enabled(HWND dialog, int id) {
  return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

bool Checked(HWND dialog, int id) {
  return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// List lines, wide because Wine hands list texts across processes as Unicode.
std::vector<std::string> Lines(HWND dialog, int id) {
  std::vector<std::string> lines;
  auto count = SendDlgItemMessageW(dialog, id, LB_GETCOUNT, 0, 0);
  for (LRESULT line = 0; line < count; ++line) {
    WCHAR text[128] = {};
    SendDlgItemMessageW(dialog, id, LB_GETTEXT, line, reinterpret_cast<LPARAM>(text));
    std::string narrow;
    for (const WCHAR* c = text; *c; ++c) narrow += static_cast<char>(*c);
    lines.push_back(narrow);
  }
  return lines;
}

// What a click on a button does, without waiting for what it opens.
void PostClick(HWND page, int id) {
  PostMessageA(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(page, id)));
}

void Click(HWND dialog, int id) {
  SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void SelectLine(HWND page, int id, int line) {
  SendDlgItemMessageA(page, id, LB_SETCURSEL, line, 0);
  SendMessageA(page, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(GetDlgItem(page, id)));
}

// Moves the tab control's selection with the arrow keys, as a user does.
void MoveTabs(HWND window, WPARAM key, int times) {
  HWND tabs = GetDlgItem(window, IDC_TABS);
  for (int i = 0; i < times; ++i) {
    PostMessageA(tabs, WM_KEYDOWN, key, 0);
    PostMessageA(tabs, WM_KEYUP, key, 0);
  }
}

int SelectedTab(HWND window) {
  return static_cast<int>(SendDlgItemMessageA(window, IDC_TABS, TCM_GETCURSEL, 0, 0));
}

bool GoToTab(HWND window, int index) {
  int now = SelectedTab(window);
  if (now != index) MoveTabs(window, index > now ? VK_RIGHT : VK_LEFT, std::abs(index - now));
  return WaitUntil([&] { return SelectedTab(window) == index; }, 5000);
}

int ThreadsOf(DWORD process) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  int count = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == process) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

std::string IniPort(const std::string& ini) {
  std::size_t at = ini.find("Port = ");
  return at == std::string::npos ? "" : ini.substr(at + 7, ini.find("\r\n", at) - at - 7);
}

// The text of one cell of a list view in another process.
std::string ListCell(HWND list, int row, int column) {
  DWORD process = 0;
  GetWindowThreadProcessId(list, &process);
  HANDLE handle =
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process);
  if (!handle) return "";
  struct Shared {
    LVITEMA item;
    char text[256];
  };
  auto* remote = static_cast<Shared*>(
      VirtualAllocEx(handle, nullptr, sizeof(Shared), MEM_COMMIT, PAGE_READWRITE));
  Shared local{};
  local.item.iSubItem = column;
  local.item.cchTextMax = sizeof local.text;
  local.item.pszText = remote->text;
  WriteProcessMemory(handle, remote, &local, sizeof local, nullptr);
  SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&remote->item));
  ReadProcessMemory(handle, remote, &local, sizeof local, nullptr);
  VirtualFreeEx(handle, remote, 0, MEM_RELEASE);
  CloseHandle(handle);
  local.text[sizeof local.text - 1] = '\0';
  return local.text;
}
