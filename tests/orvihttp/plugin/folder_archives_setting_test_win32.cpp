// The Settings page's "Offer folders as .zip", in the real plugin: off and
// absent from OrviHTTP.ini until the user ticks it, then saved by Apply and
// in force for the next listing of the running server.
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

TEST(FolderArchivesSetting, TheCheckBoxIsSavedAndTakesEffectAtApply) {
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
  auto offered = [&] {
    const std::string listing = Get(port, "/");
    EXPECT_EQ(listing.rfind("HTTP/1.1 200\r\n", 0), 0u) << listing;
    return listing.find("/?zip\">Download all as .zip</a>") != std::string::npos;
  };
  EXPECT_FALSE(offered());

  server.plugin()->OnCommand(3);
  HWND window = WaitForSettingsWindow();
  ASSERT_NE(window, nullptr);
  HWND settings = PageWith(window, IDC_FOLDER_ARCHIVES);
  ASSERT_NE(settings, nullptr);
  ASSERT_TRUE(GoToTab(window, 3));
  EXPECT_EQ(Text(settings, IDC_FOLDER_ARCHIVES), "Offer folders as .zip");
  EXPECT_FALSE(Checked(settings, IDC_FOLDER_ARCHIVES));
  EXPECT_TRUE(Enabled(settings, IDC_FOLDER_ARCHIVES));
  // Without listings there is nothing to offer.
  Click(settings, IDC_DIR_VIEW);
  EXPECT_FALSE(Enabled(settings, IDC_FOLDER_ARCHIVES));
  Click(settings, IDC_DIR_VIEW);
  EXPECT_TRUE(Enabled(settings, IDC_FOLDER_ARCHIVES));
  Click(window, IDC_APPLY);
  EXPECT_EQ(server.ReadFile("OrviHTTP.ini").find("FolderArchives"), std::string::npos)
      << server.ReadFile("OrviHTTP.ini");

  Click(settings, IDC_FOLDER_ARCHIVES);
  EXPECT_TRUE(Checked(settings, IDC_FOLDER_ARCHIVES));
  EXPECT_TRUE(Enabled(window, IDC_APPLY));
  EXPECT_FALSE(offered()) << "in force before Apply";
  Click(window, IDC_APPLY);
  EXPECT_NE(server.ReadFile("OrviHTTP.ini").find("FolderArchives = Yes\r\n"), std::string::npos)
      << server.ReadFile("OrviHTTP.ini");
  EXPECT_TRUE(offered());
  Sleep(300);
  const std::string shot = JoinPath(ArtifactsFolder(), "settings_folder_archives.png");
  EXPECT_TRUE(TakeScreenshot(shot)) << shot;

  Click(settings, IDC_FOLDER_ARCHIVES);
  Click(window, IDOK);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 5000));
  EXPECT_FALSE(offered());
  EXPECT_NE(server.ReadFile("OrviHTTP.ini").find("FolderArchives = No\r\n"), std::string::npos);
  server.Stop();
}

}  // namespace
