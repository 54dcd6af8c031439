// The plugin's Windows face: real message boxes (found and answered like a
// user would), its popup menu and the icons from its own resources.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "orvihttp/config/product_identity.h"
#include "tests/orvihttp/plugin/loaded_server_plugin.h"

namespace {

// Presses OK on every box of that caption while it lives; keeps the texts.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(const char* caption) : caption_(caption) {
    thread_ = std::thread([this] {
      while (!done_) {
        if (HWND box = FindWindowA("#32770", caption_)) {
          char text[1024] = {};
          GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
          {
            std::lock_guard<std::mutex> lock(mutex_);
            texts_.push_back(text);
          }
          SendMessageA(box, WM_COMMAND, IDOK, 0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    });
  }
  ~BoxAnswerer() {
    done_ = true;
    thread_.join();
  }
  std::vector<std::string> Texts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
  }

 private:
  const char* caption_;
  std::atomic<bool> done_{false};
  std::mutex mutex_;
  std::vector<std::string> texts_;
  std::thread thread_;
};

std::string WithoutCarriageReturns(std::string text) {
  std::string out;
  for (char c : text) {
    if (c != '\r') out += c;
  }
  return out;
}

TEST(ServerPluginWindows, WelcomeBoxOnTheFirstRunOnly) {
  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  {
    BoxAnswerer answerer("Orvi HTTP Server");
    server.Start();
    std::vector<std::string> texts = answerer.Texts();
    ASSERT_EQ(texts.size(), 1u);
    // The static control gives the text with its line ends as shown.
    EXPECT_EQ(WithoutCarriageReturns(texts[0]).rfind("Welcome to Orvi HTTP Server!\n\n", 0), 0u)
        << texts[0];
    EXPECT_NE(texts[0].find("the Trellan icon in the system tray."), std::string::npos);
    server.Stop();
  }
  EXPECT_EQ(server.IniEntries().front(), "FirstTime = No");
}

TEST(ServerPluginWindows, AboutBox) {
  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  server.WriteIni({"FirstTime = No"});
  server.Start();
  {
    BoxAnswerer answerer("About");
    EXPECT_EQ(server.plugin()->OnCommand(7), 0);
    std::vector<std::string> texts = answerer.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(WithoutCarriageReturns(texts[0]).rfind("Orvi HTTP Server " ORVI_VERSION_TEXT "\n", 0),
              0u)
        << texts[0];
  }
  server.Stop();
}

TEST(ServerPluginWindows, PopupMenuItems) {
  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  HMENU menu = static_cast<HMENU>(server.plugin()->GetMenu());
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(GetMenuItemCount(menu), 4);
  const UINT ids[] = {(7u << 8) | 3u, 0u, (7u << 8) | 5u, (7u << 8) | 7u};
  const char* texts[] = {"Settings...", "", "Help", "About"};
  for (int i = 0; i < 4; ++i) {
    MENUITEMINFOA item = {};
    char text[64] = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
    item.dwTypeData = text;
    item.cch = sizeof text;
    ASSERT_TRUE(GetMenuItemInfoA(menu, i, TRUE, &item));
    EXPECT_EQ((item.fType & MFT_SEPARATOR) != 0, i == 1);
    if (i != 1) {
      EXPECT_EQ(item.wID, ids[i]);
      EXPECT_STREQ(text, texts[i]);
    }
  }
  DestroyMenu(menu);
}

TEST(ServerPluginWindows, ReportedIconsAreRealIcons) {
  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  server.WriteIni({"FirstTime = No"});
  server.Start();
  ASSERT_TRUE(ReportRecorder::Instance().WaitForReports(1, 5000));
  HICON icon =
      reinterpret_cast<HICON>(static_cast<uintptr_t>(ReportRecorder::Instance().Reports()[0].icon));
  ICONINFO info = {};
  EXPECT_TRUE(GetIconInfo(icon, &info));
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  server.Stop();
}

}  // namespace
