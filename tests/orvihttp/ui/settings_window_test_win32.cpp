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
#include "tests/orvihttp/ui/settings_window_driver_win32.h"
#include "tests/support/test_support.h"

namespace {

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
    HWND host = WaitForHostWindow();
    ASSERT_NE(host, nullptr);
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
