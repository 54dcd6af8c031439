// A port that another program holds, met by the real plugin as a user meets
// it: the "Cannot initialise server socket!" box waits for the user, and
// meanwhile the tray status and the settings window go on.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "foundation/paths.h"
#include "orvihttp/http/socket_io.h"
#include "orvihttp/ui/settings_window_ids.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/orvihttp/plugin/loaded_server_plugin.h"
#include "tests/orvihttp/ui/settings_window_driver_win32.h"
#include "tests/support/test_support.h"

namespace {

constexpr char kBoxText[] = "Error: Cannot initialise server socket!";

// The open message box of the product's caption, null after 10 s without.
HWND WaitForBox() {
  HWND box = nullptr;
  WaitUntil(
      [&] {
        std::vector<HWND> boxes = Dialogs(false);
        box = boxes.empty() ? nullptr : boxes[0];
        return box != nullptr && Text(box, 0xFFFF) != "";
      },
      10000);
  return box;
}

// True once the host was told `text`, within 5 s.
bool HostWasTold(const std::string& text) {
  return WaitUntil(
      [&] {
        for (const HostReport& report : ReportRecorder::Instance().Reports()) {
          if (report.text == text) return true;
        }
        return false;
      },
      5000);
}

// The port may not be taken, neither at start nor from the Info page.
bool HoldPort(int port, SocketHandle* holder) {
  return OpenListeningSocket(port, holder) == ListenResult::Listening;
}

TEST(BusyPort, TheBoxHoldsUpNeitherTheTrayStatusNorTheSettingsWindow) {
  const int port = FindFreePort();
  ASSERT_NE(port, 0);
  SocketHandle holder = kInvalidSocket;
  ASSERT_TRUE(HoldPort(port, &holder));
  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  server.WriteIni({"FirstTime = No", "Active = Yes", "Port = " + std::to_string(port), "Log = No"});

  // The host's start returns once the user has answered the box.
  std::thread starting([&] { server.Start(); });
  HWND box = WaitForBox();
  ASSERT_NE(box, nullptr) << "no box about the busy port";
  EXPECT_EQ(Text(box, 0xFFFF), kBoxText);
  EXPECT_TRUE(HostWasTold("Orvi HTTP Server: Offline")) << "the status thread waits for the box";

  // The user opens the settings window from the tray, frees the port and
  // starts the server on the Info page, all while the box waits.
  server.plugin()->OnCommand(3);
  HWND window = WaitForSettingsWindow();
  ASSERT_NE(window, nullptr);
  SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  HWND info = PageWith(window, IDC_SERVER_STATUS);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(Text(info, IDC_SERVER_STATUS), "Server is not running");
  CloseSocket(holder);
  Click(info, IDC_START_SERVER);
  EXPECT_TRUE(
      WaitUntil([&] { return Text(info, IDC_SERVER_STATUS) == "Server is running"; }, 3000));
  EXPECT_TRUE(HostWasTold("Orvi HTTP Server: Online"));
  {
    // Only the page's refresh timer lists a client, and only the status
    // thread tells the host that the server is busy.
    HttpTestClient client(port);
    ASSERT_TRUE(client.IsConnected());
    EXPECT_TRUE(WaitUntil(
        [&] { return Lines(info, IDC_CLIENT_LIST) == std::vector<std::string>{"127.0.0.1"}; },
        4000));
    EXPECT_TRUE(HostWasTold("Orvi HTTP Server"));
    EXPECT_NE(Text(info, IDC_UPTIME), "");
    // The box beside the window, both in the picture.
    SetWindowPos(box, HWND_TOP, 760, 540, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    const std::string shot = JoinPath(ArtifactsFolder(), "busy_port_box.png");
    EXPECT_TRUE(TakeScreenshot(shot)) << shot;
  }
  EXPECT_TRUE(IsWindowVisible(box)) << "the box was answered too early";
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  starting.join();

  // Stopped, moved to a port that is taken, and started from the Info page:
  // the same box, now from the window's own thread.
  Click(info, IDC_STOP_SERVER);
  EXPECT_EQ(Text(info, IDC_SERVER_STATUS), "Server is not running");
  const int takenPort = FindFreePort();
  ASSERT_TRUE(HoldPort(takenPort, &holder));
  ASSERT_TRUE(GoToTab(window, 3));
  HWND settings = PageWith(window, IDC_PORT);
  SendDlgItemMessageA(settings, IDC_PORT, WM_SETTEXT, 0,
                      reinterpret_cast<LPARAM>(std::to_string(takenPort).c_str()));
  Click(window, IDC_APPLY);
  ASSERT_TRUE(GoToTab(window, 0));
  PostClick(info, IDC_START_SERVER);
  box = WaitForBox();
  ASSERT_NE(box, nullptr) << "no box from the Info page";
  EXPECT_EQ(Text(box, 0xFFFF), kBoxText);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 5000));
  EXPECT_EQ(Text(info, IDC_SERVER_STATUS), "Server is not running");
  CloseSocket(holder);

  Click(window, IDOK);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 5000));
  server.Stop();
}

}  // namespace
