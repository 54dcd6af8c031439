// The Settings page's "Keep PHP running (faster)", in the real plugin: it
// follows "Enable PHP", leaves OrviHTTP.ini without PHPMode until the user
// clicks it, and Apply then saves FastCGI or CGI.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "foundation/paths.h"
#include "orvihttp/ui/settings_window_ids.h"
#include "tests/orvihttp/plugin/loaded_server_plugin.h"
#include "tests/orvihttp/ui/settings_window_driver_win32.h"
#include "tests/support/test_support.h"

namespace {

// The saved PHPMode entry as "PHPMode = value", "" when the file has none.
std::string SavedPhpMode(const LoadedServerPlugin& server) {
  for (const std::string& entry : server.IniEntries()) {
    if (entry.rfind("PHPMode = ", 0) == 0) return entry;
  }
  return "";
}

TEST(PhpModeSetting, TheCheckBoxFollowsPhpAndIsSavedAtApply) {
  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  server.WriteIni({"FirstTime = No", "Active = No", "PHPEnable = No", "Log = No"});
  server.Start();

  server.plugin()->OnCommand(3);
  HWND window = WaitForSettingsWindow();
  ASSERT_NE(window, nullptr);
  HWND settings = PageWith(window, IDC_PHP_MODE);
  ASSERT_NE(settings, nullptr);
  ASSERT_TRUE(GoToTab(window, 3));
  EXPECT_EQ(Text(settings, IDC_PHP_MODE), "Keep PHP running (faster)");
  EXPECT_FALSE(Checked(settings, IDC_PHP_MODE));
  EXPECT_FALSE(Enabled(settings, IDC_PHP_MODE)) << "PHP is off";
  Click(settings, IDC_PHP_ENABLE);
  EXPECT_TRUE(Enabled(settings, IDC_PHP_MODE));
  Click(window, IDC_APPLY);
  EXPECT_NE(server.ReadFile("OrviHTTP.ini").find("PHPEnable = Yes"), std::string::npos);
  EXPECT_EQ(SavedPhpMode(server), "") << "the box was not touched";

  Click(settings, IDC_PHP_MODE);
  EXPECT_TRUE(Checked(settings, IDC_PHP_MODE));
  EXPECT_TRUE(Enabled(window, IDC_APPLY));
  Click(window, IDC_APPLY);
  EXPECT_EQ(SavedPhpMode(server), "PHPMode = \"FastCGI\"") << server.ReadFile("OrviHTTP.ini");
  Sleep(300);
  const std::string shot = JoinPath(ArtifactsFolder(), "settings_php_mode.png");
  EXPECT_TRUE(TakeScreenshot(shot)) << shot;

  Click(settings, IDC_PHP_MODE);
  EXPECT_FALSE(Checked(settings, IDC_PHP_MODE));
  Click(window, IDOK);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 5000));
  EXPECT_EQ(SavedPhpMode(server), "PHPMode = \"CGI\"") << server.ReadFile("OrviHTTP.ini");
  server.Stop();
}

}  // namespace
