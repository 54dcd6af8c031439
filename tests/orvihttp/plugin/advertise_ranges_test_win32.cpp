// The Settings page's "Tell browsers that downloads can be resumed", in the
// real plugin: off until the user ticks it, then saved by Apply and in force
// for the next request of the running server.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "foundation/paths.h"
#include "orvihttp/content/virtual_directory.h"
#include "orvihttp/ui/settings_window_ids.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/orvihttp/plugin/loaded_server_plugin.h"
#include "tests/orvihttp/ui/settings_window_driver_win32.h"
#include "tests/support/test_support.h"

namespace {

TEST(AdvertiseRanges, TheCheckBoxIsSavedAndTakesEffectAtApply) {
  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  const std::string real = server.folder().File("clip.bin");
  std::ofstream(real, std::ios::binary) << "0123456789";
  VirtualFolder root;
  root.AddFile("clip.bin", real);
  std::ofstream(server.folder().File("OrviHTTP.dir"), std::ios::binary) << SerializeTree(root);
  const int port = FindFreePort();
  ASSERT_NE(port, 0);
  server.WriteIni({"FirstTime = No", "Active = Yes", "Port = " + std::to_string(port), "Log = No"});
  server.Start();
  auto advertised = [&] {
    const std::string plain = Get(port, "/clip.bin");
    EXPECT_EQ(plain.rfind("HTTP/1.1 200\r\n", 0), 0u) << plain;
    return plain.find("\r\nAccept-Ranges: bytes\r\n") != std::string::npos;
  };
  EXPECT_FALSE(advertised());

  server.plugin()->OnCommand(3);
  HWND window = WaitForSettingsWindow();
  ASSERT_NE(window, nullptr);
  HWND settings = PageWith(window, IDC_ADVERTISE_RANGES);
  ASSERT_NE(settings, nullptr);
  ASSERT_TRUE(GoToTab(window, 3));
  EXPECT_EQ(Text(settings, IDC_ADVERTISE_RANGES), "Tell browsers that downloads can be resumed");
  EXPECT_FALSE(Checked(settings, IDC_ADVERTISE_RANGES));
  Click(settings, IDC_ADVERTISE_RANGES);
  EXPECT_TRUE(Checked(settings, IDC_ADVERTISE_RANGES));
  EXPECT_TRUE(Enabled(window, IDC_APPLY));
  EXPECT_FALSE(advertised()) << "in force before Apply";
  Click(window, IDC_APPLY);
  EXPECT_NE(server.ReadFile("OrviHTTP.ini").find("AdvertiseRanges = Yes\r\n"), std::string::npos)
      << server.ReadFile("OrviHTTP.ini");
  EXPECT_TRUE(advertised());
  Sleep(300);
  const std::string shot = JoinPath(ArtifactsFolder(), "settings_advertise_ranges.png");
  EXPECT_TRUE(TakeScreenshot(shot)) << shot;

  Click(settings, IDC_ADVERTISE_RANGES);
  Click(window, IDOK);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 5000));
  EXPECT_FALSE(advertised());
  EXPECT_NE(server.ReadFile("OrviHTTP.ini").find("AdvertiseRanges = No\r\n"), std::string::npos);
  server.Stop();
}

}  // namespace
