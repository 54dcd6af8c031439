// Behaviour that shows on standard error or through programs on Linux: the
// message boxes, the help page opener and the portable menu.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "foundation/registry.h"
#include "orvihttp/config/product_identity.h"
#include "orvihttp/plugin/file_url.h"
#include "tests/orvihttp/plugin/loaded_server_plugin.h"

namespace {

const char kWelcome[] =
    "Welcome to Orvi HTTP Server!\r\n\r\n"
    "Since this is your first time running this application,\r\n"
    "the Settings window will automatically open once you close this popup.\r\n"
    "In the Settings window, you can access HTTP server settings as well as\r\n"
    "set up the web access directory. Please refer to the documentation\r\n"
    "if you are wondering about the different settings.\r\n\r\n"
    "In the future, the Settings window can be reached through\r\n"
    "the Trellan icon in the system tray.\r\n";

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

TEST(ServerPluginFirstRun, WelcomeOnceThenFirstTimeIsNo) {
  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  testing::internal::CaptureStderr();
  server.Start();
  server.Stop();
  std::string first = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Count(first, std::string("[Orvi HTTP Server] ") + kWelcome), 1u) << first;
  // The settings window would open next; this build says it has none.
  EXPECT_NE(first.find("no settings window"), std::string::npos) << first;
  EXPECT_EQ(server.IniEntries().front(), "FirstTime = No");

  Plugin* again = server.NewObject();
  ASSERT_NE(again, nullptr);
  testing::internal::CaptureStderr();
  again->Start();
  again->Stop();
  std::string second = testing::internal::GetCapturedStderr();
  EXPECT_EQ(second.find("Welcome"), std::string::npos) << second;
}

TEST(ServerPluginFirstRun, MissingRegistryPathBecomesThePluginsFolder) {
  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  RegistrySet("Orvi HTTP Server", "Path", "");
  testing::internal::CaptureStderr();
  server.Start();
  server.Stop();
  testing::internal::GetCapturedStderr();
  std::string expected = TestBinaryDir() + "/Plugins/Orvi HTTP Server";
  EXPECT_EQ(RegistryGet("Orvi HTTP Server", "Path"), expected);
  // That folder does not exist in the build tree: nothing was created there.
  EXPECT_FALSE(IsFolder(expected));
}

TEST(ServerPluginCommands, AboutAndSettingsSpeakOnStandardError) {
  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  server.WriteIni({"FirstTime = No"});
  server.Start();
  testing::internal::CaptureStderr();
  EXPECT_EQ(server.plugin()->OnCommand(7), 0);
  std::string about = testing::internal::GetCapturedStderr();
  EXPECT_EQ(about.rfind("[About] Orvi HTTP Server " ORVI_VERSION_TEXT "\r\n", 0), 0u) << about;
  testing::internal::CaptureStderr();
  server.plugin()->OnCommand(3);
  server.plugin()->OnCommand(4);
  std::string settings = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Count(settings, "no settings window"), 1u) << settings;
  server.Stop();
}

// A stand-in for xdg-open found first on PATH records what it was given.
TEST(ServerPluginCommands, HelpOpensTheShippedPageAsAFileUrl) {
  EXPECT_TRUE(IsFile(JoinPath(TestBinaryDir(), "OrviHTTP.html")));
  TempFolder bin;
  std::string record = bin.File("opened.txt");
  std::string script = bin.File("xdg-open");
  {
    std::ofstream out(script);
    out << "#!/bin/sh\nprintf '%s' \"$1\" > '" << record << ".tmp' && mv '" << record << ".tmp' '"
        << record << "'\n";
  }
  ASSERT_EQ(chmod(script.c_str(), 0755), 0);
  const char* old_path = std::getenv("PATH");
  std::string saved = old_path ? old_path : "";
  setenv("PATH", (bin.path() + ":" + saved).c_str(), 1);

  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  server.WriteIni({"FirstTime = No"});
  server.Start();
  auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(server.plugin()->OnCommand(5), 0);
  // The command does not wait for the opener.
  std::string opened;
  for (int i = 0; i < 100 && !IsFile(record); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::ifstream in(record);
  std::getline(in, opened);
  setenv("PATH", saved.c_str(), 1);
  server.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(6));
  EXPECT_EQ(opened, FileUrlForPath(server.folder().File("OrviHTTP.html")));
}

TEST(ServerPluginMenu, SettingsSeparatorHelpAbout) {
  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  auto* menu = static_cast<PortableMenu*>(server.plugin()->GetMenu());
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->count, 4u);
  EXPECT_EQ(menu->items[0].id, (7u << 8) | 3u);
  EXPECT_STREQ(menu->items[0].text, "Settings...");
  EXPECT_EQ(menu->items[1].id, 0u);
  EXPECT_STREQ(menu->items[1].text, "");
  EXPECT_EQ(menu->items[2].id, (7u << 8) | 5u);
  EXPECT_STREQ(menu->items[2].text, "Help");
  EXPECT_EQ(menu->items[3].id, (7u << 8) | 7u);
  EXPECT_STREQ(menu->items[3].text, "About");
  DestroyPortableMenu(menu);
}

TEST(FileUrlTest, PathsBecomeEncodedFileUrls) {
  EXPECT_EQ(FileUrlForPath("/opt/Orvi HTTP Server/OrviHTTP.html"),
            "file:///opt/Orvi%20HTTP%20Server/OrviHTTP.html");
  EXPECT_EQ(FileUrlForPath("C:\\Program Files\\T\\a#b%.html"),
            "file:///C:/Program%20Files/T/a%23b%25.html");
  EXPECT_EQ(FileUrlForPath("/x/\xe9t\xe9~_-.html"), "file:///x/%E9t%E9~_-.html");
}

}  // namespace
