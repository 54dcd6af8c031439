// The Directory page in the real host with the real plugin: a real folder is
// imported through the shell's folder chooser, folders are created and
// removed, the tree is cleared, and Apply makes the server serve what the
// page shows. A folder marked for uploads on the page takes a file over a
// socket, and the Statistics page counts it.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdio>
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

// Memory inside the process that owns a window, for the control messages
// whose arguments are pointers.
class RemoteMemory {
 public:
  RemoteMemory(HWND window, SIZE_T size) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id);
    if (process_) {
      address_ = static_cast<char*>(
          VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
  }
  ~RemoteMemory() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;

  char* At(SIZE_T offset) const { return address_ + offset; }
  void Write(SIZE_T offset, const void* data, SIZE_T size) {
    WriteProcessMemory(process_, At(offset), data, size, nullptr);
  }
  void Read(SIZE_T offset, void* data, SIZE_T size) const {
    ReadProcessMemory(process_, At(offset), data, size, nullptr);
  }

 private:
  HANDLE process_ = nullptr;
  char* address_ = nullptr;
};

void Step(const char* what) {
  std::fprintf(stderr, "[%lu] %s\n", GetTickCount(), what);
}

std::string ItemLabel(HWND tree, HTREEITEM item) {
  constexpr SIZE_T kText = 512;
  RemoteMemory memory(tree, kText + 256);
  TVITEMA query{};
  query.mask = TVIF_TEXT;
  query.hItem = item;
  query.pszText = memory.At(kText);
  query.cchTextMax = 256;
  memory.Write(0, &query, sizeof query);
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(memory.At(0)));
  char text[256] = {};
  memory.Read(kText, text, sizeof text - 1);
  return text;
}

void ShowItems(HWND tree, HTREEITEM first, int depth, std::vector<std::string>& lines) {
  for (HTREEITEM item = first; item; item = TreeView_GetNextSibling(tree, item)) {
    lines.push_back(std::string(depth * 2, ' ') + ItemLabel(tree, item));
    ShowItems(tree, TreeView_GetChild(tree, item), depth + 1, lines);
  }
}

// The tree as lines, two spaces per level.
std::vector<std::string> Shown(HWND tree) {
  std::vector<std::string> lines;
  ShowItems(tree, TreeView_GetRoot(tree), 0, lines);
  return lines;
}

HTREEITEM ChildNamed(HWND tree, HTREEITEM parent, const std::string& label) {
  for (HTREEITEM item = TreeView_GetChild(tree, parent); item;
       item = TreeView_GetNextSibling(tree, item)) {
    if (ItemLabel(tree, item) == label) return item;
  }
  return nullptr;
}

// A visible dialog with a tree directly inside: the shell's folder chooser.
HWND FolderChooser() {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        HWND window = nullptr;
        while ((window = FindWindowExA(nullptr, window, "#32770", nullptr)) != nullptr) {
          if (IsWindowVisible(window) && FindWindowExA(window, nullptr, "SysTreeView32", nullptr)) {
            found = window;
            return true;
          }
        }
        return false;
      },
      10000);
  return found;
}

// Picks `folder` in the folder chooser and presses OK.
bool ChooseFolder(const std::string& folder) {
  HWND chooser = FolderChooser();
  if (!chooser) return false;
  RemoteMemory path(chooser, folder.size() + 1);
  path.Write(0, folder.c_str(), folder.size() + 1);
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(chooser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.At(0)),
                           SMTO_NORMAL, 8000, &result)) {
    TakeScreenshot(JoinPath(ArtifactsFolder(), "directory_chooser.png"));
    Step("chooser timed out");
  }
  // Only the asked-for folder is confirmed: a wrong pick could be a whole
  // drive, whose import would keep the window busy for long.
  HWND shellTree = FindWindowExA(chooser, nullptr, "SysTreeView32", nullptr);
  WaitUntil([&] { return TreeView_GetSelection(shellTree) != nullptr; }, 3000);
  std::string picked = ItemLabel(shellTree, TreeView_GetSelection(shellTree));
  std::string wanted = folder.substr(folder.find_last_of('\\') + 1);
  bool right = wanted.empty() || picked == wanted || picked.find(wanted) != std::string::npos;
  if (!right)
    std::fprintf(stderr, "the chooser picked \"%s\", not %s\n", picked.c_str(), folder.c_str());
  PostMessageA(chooser, WM_COMMAND, right ? IDOK : IDCANCEL, 0);
  return WaitUntil([&] { return !IsWindow(chooser); }, 5000) && right;
}

// Finds a visible dialog with that caption and gives its handle.
HWND DialogCaptioned(const char* caption) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindWindowA("#32770", caption)) && IsWindowVisible(found); },
            10000);
  return found;
}

// Answers the next "Error" box and gives its text.
std::string AnswerError() {
  HWND box = DialogCaptioned("Error");
  if (!box) return "(no message)";
  std::string text = Text(box, 0xFFFF);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  WaitUntil([&] { return !IsWindow(box); }, 5000);
  return text;
}

// Types into the "New directory" form, which the settings window owns and
// which keeps that window disabled while it is open.
void TypeNewDirectory(HWND settingsWindow, const std::string& name) {
  HWND form = DialogCaptioned("New directory");
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(GetWindow(form, GW_OWNER), settingsWindow);
  EXPECT_FALSE(IsWindowEnabled(settingsWindow));
  SendDlgItemMessageA(form, IDC_NEW_DIRECTORY_FIELD, WM_SETTEXT, 0,
                      reinterpret_cast<LPARAM>(name.c_str()));
  PostMessageA(form, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(form); }, 5000));
}

std::string Get(int port, const std::string& path) {
  HttpTestClient client(port);
  if (!client.Send("GET " + path + " HTTP/1.0\r\n\r\n")) return "(no connection)";
  return client.ReadResponse();
}

bool StatusIs(const std::string& response, const std::string& code) {
  return response.rfind("HTTP/1.1 " + code, 0) == 0 || response.rfind("HTTP/1.0 " + code, 0) == 0;
}

using Lines = std::vector<std::string>;

// Wine's folder chooser, asked by BFFM_SETSELECTION for a folder deep below
// the user's profile, ends with no selection; one level below a drive's root
// it is picked as asked, so the real folder lives there.
TEST(DirectoryPage, BuildsTheTreeTheServerPublishes) {
  const int port = FindFreePort();
  ASSERT_NE(port, 0);
  const std::string site = "C:\\orvi-site-" + std::to_string(GetCurrentProcessId());
  RemoveTree(site);
  ASSERT_TRUE(CreateDirectoryA(site.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(JoinPath(site, "docs").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(JoinPath(site, "index.html"), "<p>hello</p>"));
  ASSERT_TRUE(WriteFileBytes(JoinPath(site, "Notes.txt"), "notes"));
  ASSERT_TRUE(WriteFileBytes(JoinPath(JoinPath(site, "docs"), "a.txt"), "a"));

  InstalledServer server(
      {"FirstTime = No", "Active = Yes", "Port = " + std::to_string(port), "Log = No"});
  HostProcess process;
  ASSERT_TRUE(server.Start(process));

  std::thread desktop([&] {
    OnTestDesktop onDesktop;
    HWND host = WaitForHostWindow();
    ASSERT_NE(host, nullptr);
    Sleep(2000);
    ASSERT_TRUE(WaitUntil([&] { return StatusIs(Get(port, "/index.html"), "404"); }, 10000))
        << "the tree starts empty";

    HWND window = nullptr;
    HWND page = OpenPage(host, 2, IDC_DIRECTORY_TREE, &window);
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(IsWindowVisible(page));
    HWND tree = GetDlgItem(page, IDC_DIRECTORY_TREE);
    EXPECT_EQ(Shown(tree), Lines{"/"});

    Step("drive root");
    // A drive's root is refused.
    PostClick(page, IDC_DIRECTORY_IMPORT);
    ASSERT_TRUE(ChooseFolder("C:\\"));
    EXPECT_EQ(AnswerError(), "Cannot add this directory! Please select another one.");
    EXPECT_FALSE(Enabled(window, IDC_APPLY));

    Step("import");
    // The folder's contents land in the root, sorted on that level.
    PostClick(page, IDC_DIRECTORY_IMPORT);
    ASSERT_TRUE(ChooseFolder(site));
    ASSERT_TRUE(WaitUntil([&] { return TreeView_GetCount(tree) == 5; }, 5000)) << Shown(tree)[0];
    EXPECT_EQ(Shown(tree), (Lines{"/", "  docs", "    a.txt", "  index.html", "  Notes.txt"}));
    EXPECT_TRUE(Enabled(window, IDC_APPLY));

    Step("create");
    // A new folder in the root; the same name again is refused.
    TreeView_SelectItem(tree, TreeView_GetRoot(tree));
    PostClick(page, IDC_DIRECTORY_CREATE);
    TypeNewDirectory(window, "empty");
    ASSERT_TRUE(WaitUntil([&] { return TreeView_GetCount(tree) == 6; }, 5000));
    PostClick(page, IDC_DIRECTORY_CREATE);
    TypeNewDirectory(window, "empty");
    EXPECT_EQ(AnswerError(), "Directory already exists: empty");

    Step("remove");
    // Remove with the root selected does nothing; docs goes with its file.
    Click(page, IDC_DIRECTORY_REMOVE);
    EXPECT_EQ(TreeView_GetCount(tree), 6u);
    TreeView_SelectItem(tree, ChildNamed(tree, TreeView_GetRoot(tree), "docs"));
    Click(page, IDC_DIRECTORY_REMOVE);
    EXPECT_EQ(Shown(tree), (Lines{"/", "  empty", "  index.html", "  Notes.txt"}));
    std::string shot = JoinPath(ArtifactsFolder(), "directory_page.png");
    EXPECT_TRUE(TakeScreenshot(shot)) << shot;

    Step("apply");
    // Nothing is served before Apply; after it, exactly what the page shows.
    EXPECT_TRUE(StatusIs(Get(port, "/index.html"), "404"));
    Click(window, IDC_APPLY);
    EXPECT_FALSE(Enabled(window, IDC_APPLY));
    std::string index = Get(port, "/index.html");
    EXPECT_TRUE(StatusIs(index, "200")) << index;
    EXPECT_NE(index.find("<p>hello</p>"), std::string::npos) << index;
    EXPECT_TRUE(StatusIs(Get(port, "/Notes.txt"), "200"));
    EXPECT_TRUE(StatusIs(Get(port, "/docs/a.txt"), "404"));

    Step("clear");
    // Clear all asks nothing; Cancel drops it, so the server keeps the tree.
    Click(page, IDC_DIRECTORY_CLEAR);
    EXPECT_EQ(Shown(tree), Lines{"/"});
    EXPECT_TRUE(Enabled(window, IDC_APPLY));
    Click(window, IDCANCEL);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 5000));
    EXPECT_TRUE(StatusIs(Get(port, "/index.html"), "200"));

    Step("reopen");
    // Cleared and applied with OK: nothing is served any more.
    Sleep(2500);  // the status thread frees the closed window
    ASSERT_TRUE(ChooseSettings(host));
    window = WaitForSettingsWindow();
    ASSERT_NE(window, nullptr);
    page = PageWith(window, IDC_DIRECTORY_TREE);
    tree = GetDlgItem(page, IDC_DIRECTORY_TREE);
    // Reopened: folders first, then files, each in the order they were added.
    EXPECT_EQ(Shown(tree), (Lines{"/", "  empty", "  index.html", "  Notes.txt"}));
    Click(page, IDC_DIRECTORY_CLEAR);
    Click(window, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 5000));
    EXPECT_TRUE(StatusIs(Get(port, "/index.html"), "404"));
  });
  desktop.join();

  EXPECT_TRUE(process.Running()) << server.Output();
  process.RequestExit();
  ASSERT_TRUE(process.WaitForExit(20000));
  EXPECT_EQ(process.exitCode(), 0) << server.Output();
  RemoveTree(site);
}

std::string Put(int port, const std::string& path, const std::string& body) {
  HttpTestClient client(port);
  if (!client.Send("PUT " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Length: " +
                   std::to_string(body.size()) + "\r\n\r\n" + body)) {
    return "(no connection)";
  }
  return client.ReadResponse();
}

// Like the import above, the upload folder lies one level below a drive's
// root, where Wine's chooser picks what it is asked for.
TEST(DirectoryPage, MarksAFolderForUploadsThatTheServerFillsAndCounts) {
  const int port = FindFreePort();
  ASSERT_NE(port, 0);
  const std::string uploads = "C:\\orvi-uploads-" + std::to_string(GetCurrentProcessId());
  RemoveTree(uploads);
  ASSERT_TRUE(CreateDirectoryA(uploads.c_str(), nullptr));
  InstalledServer server(
      {"FirstTime = No", "Active = Yes", "Port = " + std::to_string(port), "Log = No"});
  VirtualFolder root;
  root.AddFolder("inbox");
  const std::string folder = server.Ini().substr(0, server.Ini().rfind('\\'));
  ASSERT_TRUE(WriteFileBytes(JoinPath(folder, "OrviHTTP.dir"), SerializeTree(root)));
  // Every byte value, so a lost or changed byte shows.
  std::string photo(200000, '\0');
  for (std::size_t i = 0; i < photo.size(); ++i) photo[i] = static_cast<char>(i * 7 + i / 251);

  HostProcess process;
  ASSERT_TRUE(server.Start(process));
  std::thread desktop([&] {
    OnTestDesktop onDesktop;
    HWND host = WaitForHostWindow();
    ASSERT_NE(host, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return HttpTestClient(port).IsConnected(); }, 20000));
    EXPECT_FALSE(StatusIs(Put(port, "/inbox/photo.bin", photo), "201")) << "not marked yet";

    HWND window = nullptr;
    HWND page = OpenPage(host, 2, IDC_DIRECTORY_TREE, &window);
    ASSERT_NE(page, nullptr);
    HWND tree = GetDlgItem(page, IDC_DIRECTORY_TREE);
    EXPECT_FALSE(Enabled(page, IDC_DIRECTORY_UPLOAD_FOLDER)) << "nothing selected";
    TreeView_SelectItem(tree, ChildNamed(tree, TreeView_GetRoot(tree), "inbox"));
    EXPECT_TRUE(Enabled(page, IDC_DIRECTORY_UPLOAD_FOLDER));
    EXPECT_EQ(Text(page, IDC_DIRECTORY_UPLOAD_LINE), "");

    Step("mark");
    PostClick(page, IDC_DIRECTORY_UPLOAD_FOLDER);
    ASSERT_NE(FolderChooser(), nullptr);
    Sleep(300);
    std::string shot = JoinPath(ArtifactsFolder(), "upload_folder_chooser.png");
    EXPECT_TRUE(TakeScreenshot(shot)) << shot;
    ASSERT_TRUE(ChooseFolder(uploads));
    const std::string line = "Uploads go to " + uploads;
    EXPECT_TRUE(WaitUntil([&] { return Text(page, IDC_DIRECTORY_UPLOAD_LINE) == line; }, 5000))
        << Text(page, IDC_DIRECTORY_UPLOAD_LINE);
    EXPECT_TRUE(Enabled(window, IDC_APPLY));
    Sleep(300);
    shot = JoinPath(ArtifactsFolder(), "directory_page_uploads.png");
    EXPECT_TRUE(TakeScreenshot(shot)) << shot;
    Click(window, IDC_APPLY);
    EXPECT_FALSE(Enabled(window, IDC_APPLY));

    Step("upload");
    std::string answer = Put(port, "/inbox/photo.bin", photo);
    EXPECT_TRUE(StatusIs(answer, "201")) << answer;
    EXPECT_TRUE(ReadFileBytes(JoinPath(uploads, "photo.bin")) == photo);

    Step("statistics");
    ASSERT_TRUE(GoToTab(window, 1));
    HWND stats = PageWith(window, IDC_STATS_FILES);
    ASSERT_NE(stats, nullptr);
    HWND list = GetDlgItem(stats, IDC_STATS_FILES);
    EXPECT_TRUE(WaitUntil([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == 1; }, 3000));
    EXPECT_EQ(ListCell(list, 0, 0), "Upload");
    EXPECT_EQ(ListCell(list, 0, 1), "127.0.0.1");
    EXPECT_EQ(ListCell(list, 0, 2), "photo.bin");
    EXPECT_EQ(Text(stats, IDC_STATS_FILES_SENT), "0");
    Sleep(300);
    shot = JoinPath(ArtifactsFolder(), "statistics_page_upload.png");
    EXPECT_TRUE(TakeScreenshot(shot)) << shot;

    Step("stop");
    // Asked first; No stops the uploads, and Apply makes the server refuse.
    ASSERT_TRUE(GoToTab(window, 2));
    PostClick(page, IDC_DIRECTORY_UPLOAD_FOLDER);
    EXPECT_EQ(AnswerQuestion(IDNO),
              "Files uploaded to /inbox are saved in\n" + uploads +
                  "\n\nYes: choose another folder\nNo: stop uploads to /inbox\n"
                  "Cancel: keep this folder");
    EXPECT_TRUE(WaitUntil([&] { return Text(page, IDC_DIRECTORY_UPLOAD_LINE).empty(); }, 5000));
    Click(window, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 5000));
    EXPECT_FALSE(StatusIs(Put(port, "/inbox/second.bin", "x"), "201"));
    EXPECT_EQ(GetFileAttributesA(JoinPath(uploads, "second.bin").c_str()), INVALID_FILE_ATTRIBUTES);
  });
  desktop.join();

  EXPECT_TRUE(process.Running()) << server.Output();
  process.RequestExit();
  ASSERT_TRUE(process.WaitForExit(20000));
  EXPECT_EQ(process.exitCode(), 0) << server.Output();
  RemoveTree(uploads);
}

}  // namespace
