// The real Trellan.exe on its own desktop, driven through window messages as a
// user's clicks would drive it: the tray menu, the "Trellan Settings" dialog,
// its radio buttons and lists. A screenshot of the dialog is kept under the
// build tree's artifacts folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "foundation/dovetab.h"
#include "foundation/file_system.h"
#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "tests/host/host_process.h"
#include "tests/host/host_test_support.h"
#include "tests/host/installed_host.h"
#include "tests/host/test_desktop_win32.h"
#include "tests/support/test_support.h"

namespace {

constexpr UINT kTrayMessage = WM_USER + 101;

// Runs `body` on a thread of the test desktop, where the host's windows are.
void OnDesktop(const std::function<void()>& body) {
  std::thread worker([&] {
    OnTestDesktop desktop;
    body();
  });
  worker.join();
}

HWND WaitForWindow(const char* type, const char* caption, int timeoutMs = 20000) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        found = FindWindowA(type, caption);
        return found && IsWindowVisible(found);
      },
      timeoutMs);
  return found && IsWindowVisible(found) ? found : nullptr;
}

std::vector<HWND> VisibleDialogs() {
  std::vector<HWND> found;
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, "#32770", "Dialog")) != nullptr) {
    if (IsWindowVisible(window)) found.push_back(window);
  }
  return found;
}

// Right-clicks the tray icon and picks "Manage plugins...", the menu's first
// item, with the keyboard.
bool ChooseManagePlugins(HWND host) {
  PostMessageA(host, kTrayMessage, 0, WM_RBUTTONUP);
  HWND menu = WaitForWindow("#32768", nullptr, 10000);
  if (!menu) return false;
  PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
  return WaitUntil([] { return !IsWindowVisible(FindWindowA("#32768", nullptr)); }, 10000);
}

std::string ItemText(HWND dialog, int id) {
  char text[512] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

bool Checked(HWND dialog, int id) {
  return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool Enabled(HWND dialog, int id) {
  return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

void Click(HWND dialog, int id) {
  SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

TEST(ManageDialog, OpensOnceSwitchesModesAndShowsThePlugin) {
  InstalledHost host;
  host.Put("fixture_recording_plugin", InstalledHost::Lib("A"));
  HostProcess process;
  ASSERT_TRUE(host.Start(process));
  ASSERT_TRUE(host.WaitForLine("start 0"));

  OnDesktop([&] {
    HWND window = WaitForWindow("Trellan", nullptr, 1);
    ASSERT_TRUE(
        WaitUntil([&] { return (window = FindWindowA("Trellan", nullptr)) != nullptr; }, 20000));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_FALSE(IsWindowEnabled(window));

    ASSERT_TRUE(ChooseManagePlugins(window));
    HWND dialog = WaitForWindow("#32770", "Dialog");
    ASSERT_NE(dialog, nullptr) << "no dialog after \"Manage plugins...\"";

    // Rotation is the default mode.
    EXPECT_EQ(ItemText(dialog, 1001), "Rotate status icons every");
    EXPECT_EQ(ItemText(dialog, 1002), "Show only the status icon for this plugin:");
    EXPECT_EQ(ItemText(dialog, 1), "OK");
    EXPECT_TRUE(Checked(dialog, 1001));
    EXPECT_FALSE(Checked(dialog, 1002));
    EXPECT_EQ(ItemText(dialog, 1003), "5");
    EXPECT_TRUE(Enabled(dialog, 1003));
    EXPECT_FALSE(Enabled(dialog, 1004));
    ASSERT_EQ(SendDlgItemMessageA(dialog, 1000, LB_GETCOUNT, 0, 0), 1);
    // Wide, because Wine hands list texts across processes as Unicode.
    WCHAR name[64] = {};
    SendDlgItemMessageW(dialog, 1000, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(name));
    EXPECT_STREQ(name, L"Recording 0");

    // Choosing it again brings the same dialog forward.
    ASSERT_TRUE(ChooseManagePlugins(window));
    Sleep(500);
    std::vector<HWND> dialogs = VisibleDialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0], dialog);

    // The selected plugin's version, status and location.
    SendDlgItemMessageA(dialog, 1000, LB_SETCURSEL, 0, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(1000, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, 1000)));
    EXPECT_EQ(ItemText(dialog, 1010), "1.2.3");
    EXPECT_EQ(ItemText(dialog, 1008), "Enabled");
    EXPECT_EQ(ItemText(dialog, 1009), JoinPath(host.plugins(), InstalledHost::Lib("A")));

    std::string shot = JoinPath(ArtifactsFolder(), "manage_dialog.png");
    EXPECT_TRUE(TakeScreenshot(shot)) << shot;

    // Static mode: the drop-down list takes over and names the only plugin.
    Click(dialog, 1002);
    EXPECT_TRUE(Checked(dialog, 1002));
    EXPECT_FALSE(Checked(dialog, 1001));
    EXPECT_FALSE(Enabled(dialog, 1003));
    EXPECT_EQ(ItemText(dialog, 1003), "");
    EXPECT_TRUE(Enabled(dialog, 1004));
    EXPECT_EQ(SendDlgItemMessageA(dialog, 1004, CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(SendDlgItemMessageA(dialog, 1004, CB_GETCURSEL, 0, 0), 0);

    Click(dialog, 1);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 10000));

    // Closed, it opens anew, in the mode chosen before.
    ASSERT_TRUE(ChooseManagePlugins(window));
    HWND again = WaitForWindow("#32770", "Dialog");
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(Checked(again, 1002));
    // And back to rotation, which shows RotateSeconds again.
    Click(again, 1001);
    EXPECT_TRUE(Checked(again, 1001));
    EXPECT_FALSE(Checked(again, 1002));
    EXPECT_EQ(ItemText(again, 1003), "5");
    EXPECT_TRUE(Enabled(again, 1003));
    EXPECT_FALSE(Enabled(again, 1004));
    SendMessageA(again, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(again); }, 10000));

    // Closing the hidden window does not end the host.
    SendMessageA(window, WM_CLOSE, 0, 0);
    Sleep(500);
    EXPECT_TRUE(IsWindow(window));
  });
  EXPECT_TRUE(process.Running());

  process.RequestExit();
  ASSERT_TRUE(process.WaitForExit(20000));
  EXPECT_EQ(ReadFileText(host.settingsFile(), 0),
            std::string(dovetab::kHeader) +
                "RotateIcon = Yes\r\nRotateSeconds = 5\r\nStaticIcon = \"Recording 0\"\r\n");
}

TEST(ManageDialog, HostExitClosesAnOpenDialog) {
  InstalledHost host;
  HostProcess process;
  ASSERT_TRUE(host.Start(process));
  OnDesktop([&] {
    HWND window = nullptr;
    ASSERT_TRUE(
        WaitUntil([&] { return (window = FindWindowA("Trellan", nullptr)) != nullptr; }, 20000));
    ASSERT_TRUE(ChooseManagePlugins(window));
    ASSERT_NE(WaitForWindow("#32770", "Dialog"), nullptr);
  });
  process.RequestExit();
  ASSERT_TRUE(process.WaitForExit(20000));
  EXPECT_EQ(process.exitCode(), 0);
}

}  // namespace
