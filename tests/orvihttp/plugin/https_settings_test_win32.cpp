// The Settings page's HTTPS dialog in the real plugin: turning HTTPS on
// saves the keys at Apply, the next start serves it with a certificate made
// for this computer, the dialog then shows that certificate's fingerprint,
// and the Info page the addresses to open.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "orvihttp/ui/settings_window_ids.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/orvihttp/plugin/loaded_server_plugin.h"
#include "tests/orvihttp/ui/settings_window_driver_win32.h"
#include "tests/support/test_support.h"

namespace {

HWND WaitForHttpsDialog() {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        found = FindWindowExA(nullptr, nullptr, "#32770", "HTTPS");
        return found != nullptr && IsWindowVisible(found);
      },
      5000);
  return found;
}

TEST(HttpsSettings, TheDialogTurnsHttpsOnAndShowsTheMadeCertificate) {
  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  const int port = FindFreePort();
  const int httpsPort = FindFreePort();
  ASSERT_NE(port, 0);
  server.WriteIni({"FirstTime = No", "Active = Yes", "Port = " + std::to_string(port), "Log = No"});
  server.Start();

  server.plugin()->OnCommand(3);
  HWND window = WaitForSettingsWindow();
  ASSERT_NE(window, nullptr);
  SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  HWND settings = PageWith(window, IDC_HTTPS_BUTTON);
  HWND info = PageWith(window, IDC_SERVER_ADDRESSES);
  ASSERT_NE(settings, nullptr);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(Text(info, IDC_SERVER_ADDRESSES), "") << "no addresses while HTTPS is off";
  ASSERT_TRUE(GoToTab(window, 3));

  PostClick(settings, IDC_HTTPS_BUTTON);
  HWND dialog = WaitForHttpsDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(Checked(dialog, IDC_HTTPS_ENABLE));
  EXPECT_EQ(Text(dialog, IDC_HTTPS_PORT), "8443");
  EXPECT_EQ(Text(dialog, IDC_CERTIFICATE_INFO).rfind("No certificate yet", 0), 0u);
  Click(dialog, IDC_HTTPS_ENABLE);
  SetDlgItemTextA(dialog, IDC_HTTPS_PORT, std::to_string(httpsPort).c_str());
  Click(dialog, IDOK);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 3000));
  EXPECT_TRUE(Enabled(window, IDC_APPLY));
  Click(window, IDC_APPLY);
  const std::string ini = server.ReadFile("OrviHTTP.ini");
  EXPECT_NE(ini.find("HTTPS = Yes\r\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("HTTPSPort = " + std::to_string(httpsPort) + "\r\n"), std::string::npos);
  EXPECT_EQ(ini.find("RedirectToHTTPS"), std::string::npos) << "untouched keys stay out";
  EXPECT_FALSE(IsFile(JoinPath(server.folder().path(), "OrviHTTP.rights")))
      << "an install without rules gets no rights file";
  EXPECT_FALSE(IsFile(JoinPath(server.folder().path(), "OrviHTTP.users")));

  // HTTPS starts with the server's next start.
  ASSERT_TRUE(GoToTab(window, 0));
  Click(info, IDC_STOP_SERVER);
  Click(info, IDC_START_SERVER);
  EXPECT_TRUE(WaitUntil(
      [&] {
        return Text(info, IDC_SERVER_ADDRESSES).find(":" + std::to_string(httpsPort) + "/") !=
               std::string::npos;
      },
      5000))
      << Text(info, IDC_SERVER_ADDRESSES);
  EXPECT_EQ(Text(info, IDC_SERVER_ADDRESSES).rfind("http://", 0), 0u);
  Sleep(300);
  EXPECT_TRUE(TakeScreenshot(JoinPath(ArtifactsFolder(), "settings_info_https.png")));

  ASSERT_TRUE(GoToTab(window, 3));
  PostClick(settings, IDC_HTTPS_BUTTON);
  dialog = WaitForHttpsDialog();
  ASSERT_NE(dialog, nullptr);
  SetWindowPos(dialog, HWND_TOP, 380, 360, 0, 0, SWP_NOSIZE);
  EXPECT_TRUE(Checked(dialog, IDC_HTTPS_ENABLE));
  EXPECT_EQ(Text(dialog, IDC_CERTIFICATE_INFO).rfind("SHA-256: ", 0), 0u)
      << Text(dialog, IDC_CERTIFICATE_INFO);
  Sleep(300);
  EXPECT_TRUE(TakeScreenshot(JoinPath(ArtifactsFolder(), "settings_https_dialog.png")));
  Click(dialog, IDCANCEL);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 3000));

  Click(window, IDOK);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 5000));
  server.Stop();
}

}  // namespace
