// The Statistics page in the real host: after a known sequence of requests to
// the real server, the page shows their counts and the files sent, newest
// first. A screenshot of the page is kept under the artifacts folder.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "foundation/paths.h"
#include "orvihttp/content/virtual_directory.h"
#include "orvihttp/ui/settings_window_ids.h"
#include "tests/host/host_process.h"
#include "tests/host/test_desktop_win32.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/orvihttp/ui/settings_window_driver_win32.h"
#include "tests/support/test_support.h"

namespace {

// One request on a connection of its own; the status code of the answer.
std::string Ask(int port, const std::string& request, bool head = false) {
  HttpTestClient client(port);
  if (!client.Send(request)) return "";
  std::string answer = client.ReadResponse(head);
  return answer.size() >= 12 ? answer.substr(9, 3) : "";
}

// The width of `text` in the font of a list view in another process.
int StringWidth(HWND list, const std::string& text) {
  DWORD process = 0;
  GetWindowThreadProcessId(list, &process);
  HANDLE handle =
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process);
  if (!handle) return -1;
  auto* remote = static_cast<char*>(
      VirtualAllocEx(handle, nullptr, text.size() + 1, MEM_COMMIT, PAGE_READWRITE));
  WriteProcessMemory(handle, remote, text.c_str(), text.size() + 1, nullptr);
  int width = static_cast<int>(
      SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(remote)));
  VirtualFreeEx(handle, remote, 0, MEM_RELEASE);
  CloseHandle(handle);
  return width;
}

int ColumnWidth(HWND list, int column) {
  return static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
}

TEST(StatisticsPage, CountsTheRequestsOfTheRealServer) {
  const int port = FindFreePort();
  ASSERT_NE(port, 0);
  InstalledServer server(
      {"FirstTime = No", "Active = Yes", "Port = " + std::to_string(port), "Log = No"});
  // One published file of 1536 bytes.
  TempFolder files;
  std::string real = files.File("page.html");
  ASSERT_TRUE(WriteFileBytes(real, std::string(1536, 'x')));
  VirtualFolder root;
  root.files.push_back({"page.html", real, 0});
  std::string folder = server.Ini().substr(0, server.Ini().rfind('\\'));
  ASSERT_TRUE(WriteFileBytes(JoinPath(folder, "OrviHTTP.dir"), SerializeTree(root)));

  HostProcess process;
  ASSERT_TRUE(server.Start(process));
  std::thread desktop([&] {
    OnTestDesktop onDesktop;
    HWND host = WaitForHostWindow();
    ASSERT_NE(host, nullptr);
    // The host loads its plugins after its window is made, slowly on a busy
    // machine: one bare connection shows when the server listens.
    ASSERT_TRUE(WaitUntil([&] { return HttpTestClient(port).IsConnected(); }, 20000));

    // Two downloads, a HEAD and a miss: with the bare one, five connections.
    EXPECT_EQ(Ask(port, "GET /page.html HTTP/1.0\r\n\r\n"), "200");
    EXPECT_EQ(Ask(port, "HEAD /page.html HTTP/1.0\r\n\r\n", true), "200");
    EXPECT_EQ(Ask(port, "GET /missing.html HTTP/1.0\r\n\r\n"), "404");
    EXPECT_EQ(Ask(port, "GET /page.html HTTP/1.0\r\n\r\n"), "200");

    HWND window = nullptr;
    HWND page = OpenPage(host, 1, IDC_STATS_PERIOD, &window);
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(IsWindowVisible(page));
    EXPECT_EQ(Text(page, IDC_STATS_PERIOD), "Total");
    EXPECT_TRUE(WaitUntil([&] { return Text(page, IDC_STATS_CONNECTIONS) == "5"; }, 3000))
        << Text(page, IDC_STATS_CONNECTIONS);
    EXPECT_EQ(Text(page, IDC_STATS_SUCCEEDED), "3");
    EXPECT_EQ(Text(page, IDC_STATS_FAILED), "1");
    EXPECT_EQ(Text(page, IDC_STATS_FILES_SENT), "2");
    EXPECT_EQ(Text(page, IDC_STATS_DOWNLOADED), "3.00 KB");
    HWND list = GetDlgItem(page, IDC_STATS_FILES);
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(ListCell(list, 0, 0), "Download");
    EXPECT_EQ(ListCell(list, 0, 1), "127.0.0.1");
    EXPECT_EQ(ListCell(list, 0, 2), "page.html");
    EXPECT_EQ(ListCell(list, 0, 3), "1.50 KB");
    // The columns keep their widths; the Date column grows when the font
    // needs more, so that today's date and the widest names of days and
    // months show whole, with the list's margins around them.
    EXPECT_EQ(ColumnWidth(list, 0), 76);
    EXPECT_EQ(ColumnWidth(list, 1), 76);
    EXPECT_EQ(ColumnWidth(list, 2), 140);
    EXPECT_EQ(ColumnWidth(list, 3), 64);
    const int dateWidth = ColumnWidth(list, 4);
    EXPECT_GE(dateWidth, 160);
    for (const std::string& date :
         {ListCell(list, 0, 4), std::string("Wed, 30 Sep 2026 20:28:28"),
          std::string("Thu, 28 May 2026 23:59:58"), std::string("Sat, 31 Dec 2026 00:00:00")}) {
      const int textWidth = StringWidth(list, date);
      EXPECT_GT(textWidth, 0) << date;
      EXPECT_GE(dateWidth, textWidth + 12) << date;
    }

    // A request while the page is open shows within the next tick.
    EXPECT_EQ(Ask(port, "GET /page.html HTTP/1.0\r\n\r\n"), "200");
    EXPECT_TRUE(WaitUntil([&] { return Text(page, IDC_STATS_FILES_SENT) == "3"; }, 3000));
    EXPECT_EQ(Text(page, IDC_STATS_CONNECTIONS), "6");
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 3);
    Sleep(300);
    std::string shot = JoinPath(ArtifactsFolder(), "statistics_page.png");
    EXPECT_TRUE(TakeScreenshot(shot)) << shot;

    // Today holds the same requests; the choice is kept for the next opening.
    HWND combo = GetDlgItem(page, IDC_STATS_PERIOD);
    SendMessageA(combo, CB_SETCURSEL, 1, 0);
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_STATS_PERIOD, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    EXPECT_EQ(Text(page, IDC_STATS_FILES_SENT), "3");
    EXPECT_EQ(Text(page, IDC_STATS_SUCCEEDED), "4");
    Click(window, IDCANCEL);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 5000));
  });
  desktop.join();

  process.RequestExit();
  ASSERT_TRUE(process.WaitForExit(20000));
  std::string ini = ReadFileBytes(server.Ini());
  EXPECT_NE(ini.find("Stats = 1\r\n"), std::string::npos) << ini;
}

}  // namespace
