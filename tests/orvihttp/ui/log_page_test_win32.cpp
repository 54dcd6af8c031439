// The Log page in the real host with the real plugin: requests to the server
// show in their colours, the lines are saved through the save dialog and
// copied with Ctrl+C, and the page keeps up with a long stream of requests.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "foundation/paths.h"
#include "orvihttp/ui/settings_window_ids.h"
#include "tests/host/host_process.h"
#include "tests/host/test_desktop_win32.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/orvihttp/ui/settings_window_driver_win32.h"
#include "tests/support/test_support.h"

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kGreen = RGB(0, 128, 0);
constexpr COLORREF kRed = RGB(208, 0, 0);
constexpr int kManyLines = 20000;

int LineCount(HWND page) {
  return static_cast<int>(SendDlgItemMessageA(page, IDC_LOG_LIST, LB_GETCOUNT, 0, 0));
}

// The colour the page draws a line in; the list hands it out as the line's
// item data.
COLORREF LineColour(HWND page, int line) {
  return static_cast<COLORREF>(SendDlgItemMessageA(page, IDC_LOG_LIST, LB_GETITEMDATA, line, 0));
}

std::vector<COLORREF> Colours(HWND page) {
  std::vector<COLORREF> colours;
  for (int line = 0, count = LineCount(page); line < count; ++line) {
    colours.push_back(LineColour(page, line));
  }
  return colours;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start) + "(no line end)");
  return lines;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Clicks "Save log as...", and types `path` into the save dialog's name box
// and presses Save, as a user does.
bool SaveLogAs(HWND page, const std::string& path) {
  PostClick(page, IDC_SAVE_LOG);
  HWND dialog = nullptr;
  if (!WaitUntil(
          [&] {
            dialog = FindWindowA("#32770", "Save log as...");
            return dialog && IsWindowVisible(dialog);
          },
          10000)) {
    return false;
  }
  Sleep(300);
  // The name box: a combo box in the newer dialog, an edit in the older one.
  HWND name = GetDlgItem(dialog, 0x47c);
  if (!name) name = GetDlgItem(dialog, 0x480);
  if (!name) return false;
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  return WaitUntil([&] { return !IsWindow(dialog); }, 10000);
}

std::string ClipboardText() {
  if (!OpenClipboard(nullptr)) return "(clipboard busy)";
  std::string text;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* bytes = static_cast<const char*>(GlobalLock(data))) text = bytes;
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

void SetClipboardText(const std::string& text) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  std::memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
  GlobalUnlock(memory);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(CF_TEXT, memory);
  CloseClipboard();
}

// Ctrl+C typed on the keyboard while the settings window has the focus.
void PressCtrlC(HWND window) {
  SetForegroundWindow(window);
  Sleep(300);
  INPUT keys[4] = {};
  for (INPUT& key : keys) key.type = INPUT_KEYBOARD;
  keys[0].ki.wVk = VK_CONTROL;
  keys[1].ki.wVk = 'C';
  keys[2].ki.wVk = 'C';
  keys[2].ki.dwFlags = KEYEVENTF_KEYUP;
  keys[3].ki.wVk = VK_CONTROL;
  keys[3].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(4, keys, sizeof(INPUT));
  Sleep(500);
}

// How long the window's thread takes to answer a message, in milliseconds.
double AnswerTime(HWND page) {
  auto start = std::chrono::steady_clock::now();
  DWORD_PTR result = 0;
  SendMessageTimeoutA(GetDlgItem(page, IDC_LOG_LIST), LB_GETCOUNT, 0, 0, SMTO_NORMAL, 10000,
                      &result);
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

TEST(LogPage, ShowsRequestsInTheirColoursAndSavesAndCopiesThem) {
  const int port = FindFreePort();
  ASSERT_NE(port, 0);
  InstalledServer server({"FirstTime = No", "Active = Yes", "Port = " + std::to_string(port),
                          "Log = No", "DirView = Yes"});
  HostProcess process;
  ASSERT_TRUE(server.Start(process));
  TempFolder saved;

  std::thread desktop([&] {
    OnTestDesktop onDesktop;
    HWND host = WaitForHostWindow();
    ASSERT_NE(host, nullptr);
    // The host loads its plugins after its window is made, slowly on a busy
    // machine. A bare connection shows whether the server listens yet, and
    // makes no line of its own.
    ASSERT_TRUE(WaitUntil([&] { return HttpTestClient(port).IsConnected(); }, 20000));
    // Lines posted before the window opens are all shown when it opens.
    // A listing of the root (200) and a missing file (404).
    Get(port, "/");
    Get(port, "/missing.html");

    HWND window = nullptr;
    HWND page = OpenPage(host, 4, IDC_LOG_LIST, &window);
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(IsWindowVisible(page));
    ASSERT_TRUE(WaitUntil([&] { return LineCount(page) == 3; }, 3000)) << LineCount(page);
    EXPECT_EQ(Colours(page), (std::vector<COLORREF>{kBlack, kGreen, kRed}))
        << "start line black, 200 green, 404 red";
    // Lines posted while the window is open come in with the next tick, at
    // the end, scrolled into view.
    Exchange(port, "GET /missing.html HTTP/1.0\r\n\r\n");
    Exchange(port, "HEAD / HTTP/1.0\r\n\r\n", true);
    ASSERT_TRUE(WaitUntil([&] { return LineCount(page) == 5; }, 3000)) << LineCount(page);
    EXPECT_EQ(Colours(page), (std::vector<COLORREF>{kBlack, kGreen, kRed, kRed, kGreen}));
    SendDlgItemMessageA(page, IDC_LOG_LIST, LB_SETSEL, TRUE, 3);
    Sleep(300);
    EXPECT_TRUE(TakeScreenshot(JoinPath(ArtifactsFolder(), "log_page.png")));
    SendDlgItemMessageA(page, IDC_LOG_LIST, LB_SETSEL, FALSE, -1);

    // Saved through the save dialog; a name without extension gets ".txt".
    ASSERT_TRUE(SaveLogAs(page, saved.File("requests")));
    std::vector<std::string> lines = SplitLines(ReadFileBytes(saved.File("requests.txt")));
    ASSERT_EQ(lines.size(), 5u) << ReadFileBytes(saved.File("requests.txt"));
    EXPECT_TRUE(EndsWith(lines[0], " --- Started Orvi HTTP Server")) << lines[0];
    EXPECT_TRUE(EndsWith(lines[1], " - 127.0.0.1 - GET / HTTP/1.1")) << lines[1];
    EXPECT_TRUE(EndsWith(lines[2], " - 127.0.0.1 - GET /missing.html HTTP/1.1")) << lines[2];
    EXPECT_TRUE(EndsWith(lines[3], " - 127.0.0.1 - GET /missing.html HTTP/1.0")) << lines[3];
    EXPECT_TRUE(EndsWith(lines[4], " - 127.0.0.1 - HEAD / HTTP/1.0")) << lines[4];

    // Ctrl+C: nothing selected leaves the clipboard alone; then the selected
    // lines, in list order.
    SetClipboardText("untouched");
    PressCtrlC(window);
    EXPECT_EQ(ClipboardText(), "untouched");
    SendDlgItemMessageA(page, IDC_LOG_LIST, LB_SETSEL, TRUE, 4);
    SendDlgItemMessageA(page, IDC_LOG_LIST, LB_SETSEL, TRUE, 2);
    PressCtrlC(window);
    EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == lines[2] + "\r\n" + lines[4]; }, 3000))
        << ClipboardText();

    // Clear, then one request: the list holds only that line; an empty list
    // saves an empty file.
    Click(page, IDC_CLEAR_LOG);
    EXPECT_EQ(LineCount(page), 0);
    ASSERT_TRUE(SaveLogAs(page, saved.File("empty.txt")));
    EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(saved.File("empty.txt")).empty(); }, 3000));
    Get(port, "/gone");
    ASSERT_TRUE(WaitUntil([&] { return LineCount(page) == 1; }, 3000));
    EXPECT_EQ(Colours(page), std::vector<COLORREF>{kRed});

    // A long stream: every request on one kept-alive connection, while the
    // window's answer time is sampled. The figures are printed, not judged.
    Click(page, IDC_CLEAR_LOG);
    double slowest = 0;
    auto feedStart = std::chrono::steady_clock::now();
    {
      auto client = std::make_unique<HttpTestClient>(port);
      for (int request = 0; request < kManyLines + 10; ++request) {
        const std::string head =
            std::string("HEAD ") + (request % 2 ? "/" : "/none") + " HTTP/1.1\r\nHost: a\r\n\r\n";
        // A connection the server ended (idle or after an error) is made anew.
        if (!client->Send(head)) {
          client = std::make_unique<HttpTestClient>(port);
          ASSERT_TRUE(client->Send(head)) << request;
        }
        ASSERT_NE(client->ReadResponse(true).find("HTTP/1.1 "), std::string::npos) << request;
        if (request % 500 == 0) slowest = std::max(slowest, AnswerTime(page));
      }
    }
    double feedSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - feedStart).count();
    // The page keeps the newest lines: the first ten went off the front.
    ASSERT_TRUE(WaitUntil([&] { return LineCount(page) == kManyLines; }, 5000)) << LineCount(page);
    EXPECT_TRUE(WaitUntil([&] { return LineColour(page, kManyLines - 1) == kGreen; }, 3000));
    EXPECT_EQ(LineColour(page, 0), kRed);
    int top = static_cast<int>(SendDlgItemMessageA(page, IDC_LOG_LIST, LB_GETTOPINDEX, 0, 0));
    EXPECT_GT(top, kManyLines - 100) << "scrolled to the newest line";
    double atFull = 0;
    for (int sample = 0; sample < 5; ++sample) {
      atFull = std::max(atFull, AnswerTime(page));
      Sleep(250);
    }
    std::cout << "log page: " << kManyLines + 10 << " requests in " << feedSeconds
              << " s; slowest window answer while they streamed in " << slowest
              << " ms; slowest answer with " << kManyLines << " lines shown " << atFull << " ms\n";
    EXPECT_TRUE(TakeScreenshot(JoinPath(ArtifactsFolder(), "log_page_full.png")));

    Click(window, IDCANCEL);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 5000));
    EXPECT_EQ(FindWindowA(nullptr, "Program Error"), nullptr);
  });
  desktop.join();

  EXPECT_TRUE(process.Running()) << server.Output();
  process.RequestExit();
  ASSERT_TRUE(process.WaitForExit(20000));
  EXPECT_EQ(process.exitCode(), 0) << server.Output();
}

}  // namespace
