// Accounts and folder permissions set through the real plugin's settings
// window: an account added in the Settings page's Accounts dialog and a
// folder closed to everyone else in the Directory page's Permissions dialog
// make the server ask for that account's password, at once after Apply.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "foundation/file_system.h"
#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "orvihttp/content/virtual_directory.h"
#include "orvihttp/tls/base64_text.h"
#include "orvihttp/ui/settings_window_ids.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/orvihttp/plugin/loaded_server_plugin.h"
#include "tests/orvihttp/ui/settings_window_driver_win32.h"
#include "tests/support/test_support.h"

namespace {

HWND WaitForDialog(const char* caption) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        found = FindWindowExA(nullptr, nullptr, "#32770", caption);
        return found != nullptr && IsWindowVisible(found);
      },
      5000);
  return found;
}

HTREEITEM ChildNamed(HWND tree, HTREEITEM parent, const std::string& label) {
  for (HTREEITEM item = TreeView_GetChild(tree, parent); item;
       item = TreeView_GetNextSibling(tree, item)) {
    char text[256] = {};
    TVITEMA query{};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = text;
    query.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
    if (label == text) return item;
  }
  return nullptr;
}

// Picks a line of a drop-down list as a user's click does.
void Choose(HWND dialog, int id, int line) {
  SendDlgItemMessageA(dialog, id, CB_SETCURSEL, line, 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::string StatusCode(int port, const std::string& headers, const std::string& path = "/docs") {
  const std::string response = Exchange(port, "GET " + path + "/a.txt HTTP/1.1\r\nHost: x\r\n" +
                                                  headers + "Connection: close\r\n\r\n");
  return response.substr(0, 12);
}

TEST(AccessSettings, AnAccountAndAFolderPermissionMadeInTheWindowCloseTheFolder) {
  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  const std::string install = server.folder().path();
  const int port = FindFreePort();
  ASSERT_NE(port, 0);
  server.WriteIni({"FirstTime = No", "Active = Yes", "Port = " + std::to_string(port), "Log = No"});
  WriteFileText(JoinPath(install, "a.txt"), "for alice");
  VirtualDirectory published;
  published.AddFolder("/", "docs");
  published.AddFile("/docs", "a.txt", JoinPath(install, "a.txt"));
  ASSERT_TRUE(published.SaveTree(JoinPath(install, "OrviHTTP.dir")));
  server.Start();
  ASSERT_EQ(StatusCode(port, ""), "HTTP/1.1 200");

  server.plugin()->OnCommand(3);
  HWND window = WaitForSettingsWindow();
  ASSERT_NE(window, nullptr);
  SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  HWND settings = PageWith(window, IDC_ACCOUNTS_BUTTON);
  HWND directory = PageWith(window, IDC_DIRECTORY_PERMISSIONS);
  HWND info = PageWith(window, IDC_LOCKED_OUT);
  ASSERT_NE(settings, nullptr);
  ASSERT_NE(directory, nullptr);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(Text(info, IDC_LOCKED_OUT), "") << "nobody is locked out";
  ASSERT_TRUE(GoToTab(window, 3));
  Sleep(300);
  EXPECT_TRUE(TakeScreenshot(JoinPath(ArtifactsFolder(), "settings_page_accounts_button.png")));

  // The Accounts dialog: alice is added, a second name with two different
  // passwords is refused with the reason.
  PostClick(settings, IDC_ACCOUNTS_BUTTON);
  HWND accounts = WaitForDialog("Accounts");
  ASSERT_NE(accounts, nullptr);
  SetWindowPos(accounts, HWND_TOP, 20, 520, 0, 0, SWP_NOSIZE);
  EXPECT_TRUE(Lines(accounts, IDC_ACCOUNT_LIST).empty());
  SetDlgItemTextA(accounts, IDC_ACCOUNT_NAME, "alice");
  SetDlgItemTextA(accounts, IDC_ACCOUNT_PASSWORD, "wonder land");
  SetDlgItemTextA(accounts, IDC_ACCOUNT_PASSWORD_AGAIN, "wonder land");
  Click(accounts, IDC_ACCOUNT_ADD);
  EXPECT_EQ(Lines(accounts, IDC_ACCOUNT_LIST), std::vector<std::string>{"alice"});
  EXPECT_EQ(Text(accounts, IDC_ACCOUNT_PASSWORD), "") << "a password is not kept in the box";
  EXPECT_EQ(Text(accounts, IDC_ACCOUNT_MESSAGE), "");
  SetDlgItemTextA(accounts, IDC_ACCOUNT_NAME, "bob");
  SetDlgItemTextA(accounts, IDC_ACCOUNT_PASSWORD, "one");
  SetDlgItemTextA(accounts, IDC_ACCOUNT_PASSWORD_AGAIN, "two");
  Click(accounts, IDC_ACCOUNT_ADD);
  EXPECT_EQ(Text(accounts, IDC_ACCOUNT_MESSAGE).rfind("The two passwords differ.", 0), 0u);
  EXPECT_EQ(Lines(accounts, IDC_ACCOUNT_LIST), std::vector<std::string>{"alice"});
  Sleep(300);
  EXPECT_TRUE(TakeScreenshot(JoinPath(ArtifactsFolder(), "settings_accounts_dialog.png")));
  EXPECT_FALSE(IsFile(JoinPath(install, "OrviHTTP.users"))) << "nothing is written before OK";
  Click(accounts, IDOK);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(accounts); }, 3000));
  EXPECT_NE(server.ReadFile("OrviHTTP.users").find("alice:"), std::string::npos);
  EXPECT_FALSE(Enabled(window, IDC_APPLY)) << "the accounts were saved by the dialog";

  // The Permissions dialog of /docs: only alice may see it.
  ASSERT_TRUE(GoToTab(window, 2));
  HWND tree = GetDlgItem(directory, IDC_DIRECTORY_TREE);
  EXPECT_FALSE(Enabled(directory, IDC_DIRECTORY_PERMISSIONS)) << "nothing selected";
  HTREEITEM docs = ChildNamed(tree, TreeView_GetRoot(tree), "docs");
  ASSERT_NE(docs, nullptr);
  TreeView_SelectItem(tree, ChildNamed(tree, docs, "a.txt"));
  EXPECT_FALSE(Enabled(directory, IDC_DIRECTORY_PERMISSIONS)) << "a file";
  TreeView_SelectItem(tree, docs);
  EXPECT_TRUE(Enabled(directory, IDC_DIRECTORY_PERMISSIONS));
  PostClick(directory, IDC_DIRECTORY_PERMISSIONS);
  HWND permissions = WaitForDialog("Permissions of /docs");
  ASSERT_NE(permissions, nullptr);
  SetWindowPos(permissions, HWND_TOP, 20, 520, 0, 0, SWP_NOSIZE);
  EXPECT_EQ(Text(permissions, IDC_PERMISSION_LABEL_FIRST), "Who may see and download");
  EXPECT_EQ(Text(permissions, IDC_PERMISSION_CHOICE_FIRST),
            "Inherited (everyone, as with no rule)");
  EXPECT_FALSE(Enabled(permissions, IDC_PERMISSION_NAMES_FIRST));
  Choose(permissions, IDC_PERMISSION_CHOICE_FIRST, 3);
  EXPECT_TRUE(Enabled(permissions, IDC_PERMISSION_NAMES_FIRST));
  SetDlgItemTextA(permissions, IDC_PERMISSION_NAMES_FIRST, "alice, carol");
  Click(permissions, IDOK);
  EXPECT_NE(Text(permissions, IDC_PERMISSIONS_MESSAGE).find("no account named \"carol\""),
            std::string::npos)
      << Text(permissions, IDC_PERMISSIONS_MESSAGE);
  SetDlgItemTextA(permissions, IDC_PERMISSION_NAMES_FIRST, "alice");
  Sleep(300);
  EXPECT_TRUE(TakeScreenshot(JoinPath(ArtifactsFolder(), "directory_permissions_dialog.png")));
  Click(permissions, IDOK);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(permissions); }, 3000));
  EXPECT_FALSE(IsFile(JoinPath(install, "OrviHTTP.rights"))) << "written at Apply";
  EXPECT_EQ(StatusCode(port, ""), "HTTP/1.1 200");

  EXPECT_TRUE(Enabled(window, IDC_APPLY));
  Click(window, IDC_APPLY);
  EXPECT_NE(server.ReadFile("OrviHTTP.rights").find("/docs\tsee=alice"), std::string::npos)
      << server.ReadFile("OrviHTTP.rights");
  EXPECT_EQ(StatusCode(port, ""), "HTTP/1.1 401");
  EXPECT_EQ(StatusCode(port, "Authorization: Basic " + EncodeBase64("alice:wonder land") + "\r\n"),
            "HTTP/1.1 200");

  // A renamed folder keeps its permission.
  ASSERT_TRUE(Enabled(directory, IDC_DIRECTORY_RENAME));
  PostClick(directory, IDC_DIRECTORY_RENAME);
  HWND edit = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (edit = TreeView_GetEditControl(tree)) != nullptr; }, 3000));
  SetWindowTextA(edit, "papers");
  SendMessageA(tree, TVM_ENDEDITLABELNOW, FALSE, 0);
  EXPECT_NE(ChildNamed(tree, TreeView_GetRoot(tree), "papers"), nullptr);
  Click(window, IDC_APPLY);
  EXPECT_NE(server.ReadFile("OrviHTTP.rights").find("/papers\tsee=alice"), std::string::npos)
      << server.ReadFile("OrviHTTP.rights");
  EXPECT_EQ(StatusCode(port, "", "/papers"), "HTTP/1.1 401");

  Click(window, IDOK);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 5000));
  server.Stop();
}

}  // namespace
