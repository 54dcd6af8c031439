// The settings window in the real host with the real plugin, installed in a
// temporary folder and driven through window messages as a user's clicks and
// keys would drive it. Screenshots of every page are kept under the build
// tree's artifacts folder.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/dovetab.h"
#include "foundation/paths.h"
#include "foundation/registry.h"
#include "orvihttp/ui/settings_window_ids.h"
#include "tests/host/host_process.h"
#include "tests/host/test_desktop_win32.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/support/test_support.h"

namespace {

constexpr UINT kTrayMessage = WM_USER + 101;
constexpr char kCaption[] = "Orvi HTTP Server";

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    Sleep(20);
  }
  return true;
}

// The host, installed as a user installs it, with the server's settings.
class InstalledServer {
 public:
  explicit InstalledServer(const std::vector<std::string>& iniLines) {
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
  bool Start(HostProcess& process) {
    return process.Start(root_.File("Trellan.exe"), root_.File("output.txt"));
  }
  std::string Ini() const { return JoinPath(folder_, "OrviHTTP.ini"); }
  std::string Output() const { return ReadFileBytes(root_.File("output.txt")); }

 private:
  TempFolder root_;
  std::string folder_;
};

std::string ArtifactsFolder() {
  std::string folder = JoinPath(ParentFolder(TestBinaryDir()), "artifacts");
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return folder;
}

// Saves the screen (the virtual desktop under Wine) as a PNG with
// ImageMagick's import, a Linux program that Wine starts directly.
bool TakeScreenshot(const std::string& file) {
  using ToUnix = char*(CDECL*)(LPCWSTR);
  using ToDos = WCHAR*(CDECL*)(LPCSTR);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto to_unix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
  auto to_dos = reinterpret_cast<ToDos>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_dos_file_name")));
  if (!to_unix || !to_dos) return false;
  WCHAR wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
  char* unix_file = to_unix(wide);
  WCHAR* import_program = to_dos("/usr/bin/import");
  if (!unix_file || !import_program) return false;
  std::wstring command = L"import -window root \"";
  for (const char* c = unix_file; *c; ++c) command += static_cast<WCHAR>(*c);
  command += L"\"";
  HeapFree(GetProcessHeap(), 0, unix_file);
  DeleteFileA(file.c_str());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  BOOL started = CreateProcessW(import_program, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, &startup, &process);
  HeapFree(GetProcessHeap(), 0, import_program);
  if (!started) return false;
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);
  // A Linux child has no process handle: wait for a complete file instead.
  std::size_t last = 0;
  return WaitUntil(
      [&] {
        std::size_t size = ReadFileBytes(file).size();
        bool settled = size > 0 && size == last;
        last = size;
        if (!settled) Sleep(300);
        return settled;
      },
      30000);
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

// Answers the next question box with OK and gives its text.
std::string AnswerQuestion() {
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
  char text[512] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
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

TEST(SettingsWindow, DrivesTheRealServerFromEveryPage) {
  const int port = FindFreePort();
  const int newPort = FindFreePort() == port ? port + 1 : FindFreePort();
  ASSERT_NE(port, 0);
  InstalledServer server(
      {"FirstTime = No", "Active = No", "Port = " + std::to_string(port), "Log = No"});
  HostProcess process;
  ASSERT_TRUE(server.Start(process));
  const std::string shots = ArtifactsFolder();

  std::thread desktop([&] {
    OnTestDesktop onDesktop;
    HWND host = nullptr;
    ASSERT_TRUE(
        WaitUntil([&] { return (host = FindWindowA("Trellan", nullptr)) != nullptr; }, 20000));
    // The host loads its plugins after its window is made.
    Sleep(2000);

    ASSERT_TRUE(ChooseSettings(host));
    HWND window = WaitForSettingsWindow();
    ASSERT_NE(window, nullptr) << "no settings window after \"Settings...\"";
    HWND info = PageWith(window, IDC_SERVER_STATUS);
    HWND settings = PageWith(window, IDC_PORT);
    ASSERT_NE(info, nullptr);
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(SendDlgItemMessageA(window, IDC_TABS, TCM_GETITEMCOUNT, 0, 0), 5);
    EXPECT_TRUE(IsWindowVisible(info));
    EXPECT_FALSE(IsWindowVisible(settings));
    EXPECT_FALSE(Enabled(window, IDC_APPLY)) << "nothing edited yet";
    EXPECT_EQ(Text(info, IDC_SERVER_STATUS), "Server is not running");
    EXPECT_TRUE(Enabled(info, IDC_START_SERVER));
    EXPECT_FALSE(Enabled(info, IDC_STOP_SERVER));
    EXPECT_EQ(Text(settings, IDC_PORT), std::to_string(port));

    // Start.
    Click(info, IDC_START_SERVER);
    EXPECT_TRUE(
        WaitUntil([&] { return Text(info, IDC_SERVER_STATUS) == "Server is running"; }, 3000));
    EXPECT_FALSE(Enabled(info, IDC_START_SERVER));
    EXPECT_TRUE(Enabled(info, IDC_STOP_SERVER));
    EXPECT_EQ(Text(info, IDC_TOTAL_BANDWIDTH), "0.00 KB/s");
    {
      HttpTestClient client(port);
      ASSERT_TRUE(client.Send("GET / HTTP/1.0\r\n\r\n"));
      std::string answer = client.ReadResponse();
      EXPECT_EQ(answer.rfind("HTTP/1.", 0), 0u) << "the server answers: " << answer;
    }

    // A client shows with its address and is kicked.
    {
      HttpTestClient client(port);
      ASSERT_TRUE(client.IsConnected());
      ASSERT_TRUE(WaitUntil(
          [&] { return Lines(info, IDC_CLIENT_LIST) == std::vector<std::string>{"127.0.0.1"}; },
          4000));
      SelectLine(info, IDC_CLIENT_LIST, 0);
      EXPECT_EQ(Text(info, IDC_CURRENT_ACTIVITY), "Idle");
      EXPECT_NE(Text(info, IDC_CONNECTION_TIME), "");
      Sleep(1200);  // the uptime ticks
      std::string shot = JoinPath(shots, "settings_info.png");
      EXPECT_TRUE(TakeScreenshot(shot)) << shot;

      PostClick(info, IDC_KICK_CLIENT);
      EXPECT_EQ(AnswerQuestion(), "Really kick client '127.0.0.1'?");
      EXPECT_TRUE(client.ClosedWithoutData(3000)) << "a kick closes the client's socket";
      EXPECT_TRUE(WaitUntil([&] { return Lines(info, IDC_CLIENT_LIST).empty(); }, 3000));
    }

    // Every page, in the tab order.
    const char* names[] = {"info", "statistics", "directory", "settings", "log"};
    for (int tab = 1; tab < 5; ++tab) {
      ASSERT_TRUE(GoToTab(window, tab));
      Sleep(300);
      std::string shot = JoinPath(shots, std::string("settings_") + names[tab] + ".png");
      EXPECT_TRUE(TakeScreenshot(shot)) << shot;
    }
    ASSERT_TRUE(GoToTab(window, 3));
    EXPECT_TRUE(IsWindowVisible(settings));
    EXPECT_FALSE(IsWindowVisible(info));

    // A new port reaches the file at Apply; the server keeps its old one.
    SendDlgItemMessageA(settings, IDC_PORT, WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(std::to_string(newPort).c_str()));
    EXPECT_TRUE(Enabled(window, IDC_APPLY)) << "an edit enables Apply";
    Click(window, IDC_APPLY);
    EXPECT_FALSE(Enabled(window, IDC_APPLY));
    EXPECT_EQ(IniPort(ReadFileBytes(server.Ini())), std::to_string(newPort));
    {
      HttpTestClient old(port);
      ASSERT_TRUE(old.Send("GET / HTTP/1.0\r\n\r\n"));
      std::string answer = old.ReadResponse();
      EXPECT_EQ(answer.rfind("HTTP/1.", 0), 0u) << "still on the old port: " << answer;
      HttpTestClient fresh;
      EXPECT_FALSE(fresh.Connect(newPort)) << "the new port waits for a restart";
    }

    // A ban kicks, refuses the address and lists it on the Settings page.
    ASSERT_TRUE(GoToTab(window, 0));
    {
      HttpTestClient client(port);
      ASSERT_TRUE(WaitUntil([&] { return Lines(info, IDC_CLIENT_LIST).size() == 1; }, 4000));
      SelectLine(info, IDC_CLIENT_LIST, 0);
      PostClick(info, IDC_BAN_CLIENT);
      EXPECT_EQ(AnswerQuestion(), "Really ban IP '127.0.0.1'?");
      auto banned = std::chrono::steady_clock::now();
      ASSERT_TRUE(GoToTab(window, 3));
      EXPECT_TRUE(WaitUntil(
          [&] { return Lines(settings, IDC_BLACKLIST) == std::vector<std::string>{"127.0.0.1"}; },
          3000));
      // The ban waits 300 ms, the page refreshes every second.
      EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - banned)
                    .count(),
                1400);
      EXPECT_TRUE(client.ClosedWithoutData(3000)) << "a ban kicks the client";
      HttpTestClient refused(port);
      EXPECT_TRUE(refused.ClosedWithoutData(6000)) << "a banned address is not served";
      std::string shot = JoinPath(shots, "settings_settings_banned.png");
      EXPECT_TRUE(TakeScreenshot(shot)) << shot;
    }

    // Edits, then Cancel: nothing reaches the file.
    std::string before = ReadFileBytes(server.Ini());
    SendDlgItemMessageA(settings, IDC_PORT, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("9999"));
    Click(settings, IDC_LOG);
    EXPECT_TRUE(Enabled(window, IDC_APPLY));
    Click(window, IDCANCEL);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 5000));
    Sleep(500);
    EXPECT_EQ(ReadFileBytes(server.Ini()), before);

    // Once the status thread has freed the closed window, the host's threads
    // are counted; every window opened and closed later must leave the same.
    DWORD hostProcess = 0;
    GetWindowThreadProcessId(host, &hostProcess);
    Sleep(2500);
    const int baseline = ThreadsOf(hostProcess);
    ASSERT_GT(baseline, 0);

    ASSERT_TRUE(ChooseSettings(host));
    HWND first = WaitForSettingsWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(ThreadsOf(hostProcess), baseline + 1) << "one thread for the window";
    ASSERT_TRUE(ChooseSettings(host));
    Sleep(700);
    EXPECT_EQ(Dialogs(true), std::vector<HWND>{first}) << "a second choice opens no second window";

    // Closed and chosen again at once, before the status thread frees it.
    SendMessageA(first, WM_CLOSE, 0, 0);
    ASSERT_TRUE(ChooseSettings(host));
    HWND second = WaitForSettingsWindow();
    ASSERT_NE(second, nullptr) << "a fresh window";
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(Dialogs(true).size(), 1u);
    Click(second, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(second); }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return ThreadsOf(hostProcess) == baseline; }, 5000))
        << ThreadsOf(hostProcess) << " threads, " << baseline << " before";
    // No crash dialog anywhere on the desktop.
    EXPECT_EQ(FindWindowA(nullptr, "Program Error"), nullptr);
  });
  desktop.join();

  EXPECT_TRUE(process.Running()) << server.Output();
  process.RequestExit();
  ASSERT_TRUE(process.WaitForExit(20000));
  EXPECT_EQ(process.exitCode(), 0) << server.Output();
  // OK wrote the applied port; the cancelled edits never reached the store,
  // and the server started on the Info page stays on for the next start.
  std::string ini = ReadFileBytes(server.Ini());
  EXPECT_EQ(IniPort(ini), std::to_string(newPort)) << ini;
  EXPECT_NE(ini.find("Active = Yes"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Log = No"), std::string::npos) << ini;
}

}  // namespace
