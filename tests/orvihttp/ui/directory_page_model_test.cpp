// The Directory page's edits of its working tree and of the tree display,
// driven through a plain in-memory display.
#include "orvihttp/ui/directory_page_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "foundation/file_system.h"
#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "tests/support/test_support.h"

namespace {

class FakeItems final : public DirectoryItems {
 public:
  void DeleteAll() override { items_.clear(); }
  DirectoryItem Insert(DirectoryItem parent, const std::string& label, DirectoryItemKind kind,
                       const std::string& realPath) override {
    DirectoryItem id = ++last_;
    items_[id] = {label, kind, realPath, parent, {}};
    if (parent) items_.at(parent).children.push_back(id);
    return id;
  }
  void Delete(DirectoryItem item) override {
    for (DirectoryItem child : std::vector<DirectoryItem>(items_.at(item).children)) Delete(child);
    if (DirectoryItem parent = items_.at(item).parent) {
      auto& siblings = items_.at(parent).children;
      siblings.erase(std::find(siblings.begin(), siblings.end(), item));
    }
    items_.erase(item);
  }
  void SetLabel(DirectoryItem item, const std::string& label) override {
    items_.at(item).label = label;
  }
  DirectoryItem Parent(DirectoryItem item) const override { return items_.at(item).parent; }
  std::vector<DirectoryItem> Children(DirectoryItem item) const override {
    return items_.at(item).children;
  }
  std::string Label(DirectoryItem item) const override { return items_.at(item).label; }
  DirectoryItemKind Kind(DirectoryItem item) const override { return items_.at(item).kind; }
  void SortChildren(DirectoryItem item) override {
    auto& children = items_.at(item).children;
    std::stable_sort(children.begin(), children.end(), [&](DirectoryItem a, DirectoryItem b) {
      return LabelBefore(items_.at(a).label, items_.at(b).label);
    });
  }

  // The display as lines: two spaces per level, folders end with "/".
  std::vector<std::string> Shown() const {
    std::vector<std::string> lines;
    for (const auto& [id, item] : items_) {
      if (!item.parent) Show(id, 0, lines);
    }
    return lines;
  }
  DirectoryItem Find(const std::string& path) const {
    for (const auto& [id, item] : items_) {
      std::string full;
      for (DirectoryItem at = id; items_.at(at).parent; at = items_.at(at).parent) {
        full = "/" + items_.at(at).label + full;
      }
      if (full == path && item.parent) return id;
    }
    return 0;
  }
  std::string RealPath(DirectoryItem item) const { return items_.at(item).realPath; }

 private:
  struct Item {
    std::string label;
    DirectoryItemKind kind;
    std::string realPath;
    DirectoryItem parent;
    std::vector<DirectoryItem> children;
  };
  void Show(DirectoryItem id, int depth, std::vector<std::string>& lines) const {
    const Item& item = items_.at(id);
    lines.push_back(std::string(depth * 2, ' ') + item.label +
                    (item.kind == DirectoryItemKind::Folder && item.label != "/" ? "/" : ""));
    for (DirectoryItem child : item.children) Show(child, depth + 1, lines);
  }
  std::map<DirectoryItem, Item> items_;
  DirectoryItem last_ = 0;
};

struct Page {
  FakeItems items;
  int changes = 0;
  std::vector<std::string> errors;
  DirectoryPageModel model{items, [this] { ++changes; },
                           [this](const std::string& text) { errors.push_back(text); }};
};

using Lines = std::vector<std::string>;

TEST(DirectoryPageModel, LevelsSortByLabelIgnoringCaseFoldersAndFilesMixed) {
  EXPECT_TRUE(LabelBefore("apple", "Banana"));
  EXPECT_TRUE(LabelBefore("Apple", "banana"));
  EXPECT_FALSE(LabelBefore("b", "A"));
  EXPECT_TRUE(LabelBefore("a", "ab"));
  EXPECT_FALSE(LabelBefore("A", "a"));
  EXPECT_FALSE(LabelBefore("a", "A"));

  Page page;
  VirtualFolder tree;
  tree.AddFolder("Zeta");
  tree.AddFile("b.txt", "/r/b.txt");
  page.model.Load(tree);
  // A load shows folders first, then files, each in list order.
  EXPECT_EQ(page.items.Shown(), (Lines{"/", "  Zeta/", "  b.txt"}));
  page.model.AddFiles(0, {{"C.txt", "/r/C.txt"}, {"a.txt", "/r/a.txt"}});
  page.model.CreateFolder(0, "Docs");
  EXPECT_EQ(page.items.Shown(),
            (Lines{"/", "  a.txt", "  b.txt", "  C.txt", "  Docs/", "  Zeta/"}));
  // The model's lists keep their insertion order.
  EXPECT_EQ(page.model.workingTree().files[2].name, "a.txt");
  EXPECT_EQ(page.model.workingTree().subfolders[1].name, "Docs");
  EXPECT_EQ(page.changes, 3);
}

TEST(DirectoryPageModel, OnlyFoldersWithAParentAreImportable) {
  EXPECT_FALSE(IsImportableFolder("C:\\", '\\'));
  EXPECT_FALSE(IsImportableFolder("site", '\\'));
  EXPECT_FALSE(IsImportableFolder("", '\\'));
  EXPECT_TRUE(IsImportableFolder("D:\\web\\site", '\\'));
  EXPECT_TRUE(IsImportableFolder("C:\\x", '\\'));
  EXPECT_FALSE(IsImportableFolder("/", '/'));
  EXPECT_TRUE(IsImportableFolder("/srv/site", '/'));

  Page page;
  page.model.Load({});
  page.model.ImportFolder(0, "C:\\", '\\');
  page.model.ImportFolder(0, "web", '\\');
  EXPECT_EQ(page.errors, (Lines{kCannotImportText, kCannotImportText}));
  EXPECT_EQ(page.changes, 0);
}

TEST(DirectoryPageModel, OpenDialogSelectionsGiveNamesAndPaths) {
  const char one[] = "C:\\docs\\a.txt\0";
  EXPECT_EQ(ChosenFiles(one, sizeof one, '\\'),
            (std::vector<std::pair<std::string, std::string>>{{"a.txt", "C:\\docs\\a.txt"}}));
  const char several[] = "C:\\docs\0b.txt\0a.txt\0";
  EXPECT_EQ(ChosenFiles(several, sizeof several, '\\'),
            (std::vector<std::pair<std::string, std::string>>{{"b.txt", "C:\\docs\\b.txt"},
                                                              {"a.txt", "C:\\docs\\a.txt"}}));
  const char atRoot[] = "C:\\\0x\0y\0";
  EXPECT_EQ(ChosenFiles(atRoot, sizeof atRoot, '\\')[1].second, "C:\\y");
  EXPECT_TRUE(ChosenFiles("\0", 2, '\\').empty());
}

TEST(DirectoryPageModel, AddingFilesStopsAtTheFirstNameThatExists) {
  Page page;
  VirtualFolder tree;
  tree.AddFolder("sub");
  tree.subfolders[0].AddFile("a.txt", "/old/a.txt");
  page.model.Load(tree);
  // A selected file stands for its folder.
  DirectoryItem file = page.items.Find("/sub/a.txt");
  ASSERT_NE(file, 0u);
  page.model.AddFiles(file, {{"b.txt", "/n/b.txt"}, {"a.txt", "/n/a.txt"}, {"c.txt", "/n/c.txt"}});
  EXPECT_EQ(page.errors, Lines{"File already exists: a.txt"});
  EXPECT_EQ(page.items.Shown(), (Lines{"/", "  sub/", "    a.txt", "    b.txt"}));
  const VirtualFolder& sub = page.model.workingTree().subfolders[0];
  ASSERT_EQ(sub.files.size(), 2u);
  EXPECT_EQ(sub.files[0].realPath, "/old/a.txt");
  EXPECT_EQ(sub.files[1].realPath, "/n/b.txt");
  EXPECT_EQ(page.changes, 1);
}

TEST(DirectoryPageModel, FoldersAreCreatedInTheSelectedFolderOnce) {
  Page page;
  page.model.Load({});
  page.model.CreateFolder(0, "");
  page.model.CreateFolder(0, "web");
  page.model.CreateFolder(page.items.Find("/web"), "img");
  page.model.CreateFolder(0, "web");
  EXPECT_EQ(page.errors, Lines{"Directory already exists: web"});
  // A name with a "/" is stored as typed and still found by its item.
  page.model.CreateFolder(page.items.Find("/web"), "a/b");
  page.model.AddFiles(page.items.Find("/web/a/b"), {{"x", "/r/x"}});
  EXPECT_NE(page.model.workingTree().subfolders[0].subfolders[1].FindFile("x"), nullptr);
  EXPECT_EQ(page.items.Shown(), (Lines{"/", "  web/", "    a/b/", "      x", "    img/"}));
  EXPECT_EQ(page.changes, 4);
}

TEST(DirectoryPageModel, RemoveTakesTheSelectedKindWithItsSubtree) {
  Page page;
  VirtualFolder tree;
  tree.AddFolder("x");
  tree.subfolders[0].AddFolder("deep");
  tree.AddFile("x", "/r/x");
  tree.AddFile("y", "/r/y");
  page.model.Load(tree);
  page.model.Remove(0);
  page.model.Remove(page.model.rootItem());
  EXPECT_EQ(page.changes, 0);

  // The file item named x goes, not the folder of the same name.
  DirectoryItem file = 0;
  for (DirectoryItem child : page.items.Children(page.model.rootItem())) {
    if (page.items.Kind(child) == DirectoryItemKind::File && page.items.Label(child) == "x") {
      file = child;
    }
  }
  ASSERT_NE(file, 0u);
  page.model.Remove(file);
  EXPECT_EQ(page.items.Shown(), (Lines{"/", "  x/", "    deep/", "  y"}));
  EXPECT_NE(page.model.workingTree().FindFolder("x"), nullptr);
  EXPECT_EQ(page.model.workingTree().FindFile("x"), nullptr);
  page.model.Remove(page.items.Find("/x"));
  EXPECT_EQ(page.items.Shown(), (Lines{"/", "  y"}));
  EXPECT_TRUE(page.model.workingTree().subfolders.empty());
  EXPECT_EQ(page.changes, 2);
}

TEST(DirectoryPageModel, ClearAllLeavesTheRootAlone) {
  Page page;
  VirtualFolder tree;
  tree.name = "old";
  tree.AddFolder("a");
  tree.AddFile("b", "/r/b");
  page.model.Load(tree);
  page.model.ClearAll();
  EXPECT_EQ(page.model.workingTree(), VirtualFolder());
  EXPECT_EQ(page.items.Shown(), Lines{"/"});
  EXPECT_EQ(page.changes, 1);
}

TEST(DirectoryPageModel, ImportFillsTheSelectedFolderAndTheDisplayAlike) {
  TempFolder real;
  ASSERT_TRUE(CreateFolder(real.File("img")));
  ASSERT_TRUE(WriteFileText(real.File("b.html"), "b"));
  ASSERT_TRUE(WriteFileText(real.File("A.html"), "a"));
  ASSERT_TRUE(WriteFileText(JoinPath(real.File("img"), "logo.png"), "p"));
  ASSERT_TRUE(WriteFileText(JoinPath(real.File("img"), "new.png"), "n"));

  Page page;
  VirtualFolder tree;
  tree.AddFolder("site");
  tree.subfolders[0].AddFolder("img");
  tree.subfolders[0].subfolders[0].AddFile("logo.png", "/old/logo.png");
  tree.subfolders[0].AddFile("z.txt", "/old/z.txt");
  page.model.Load(tree);
  page.model.ImportFolder(page.items.Find("/site/z.txt"), real.path(), kPathSeparator);
  EXPECT_TRUE(page.errors.empty());
  EXPECT_EQ(page.changes, 1);
  // The existing img item is reused; only the level that received the import
  // is sorted.
  Lines shown = page.items.Shown();
  ASSERT_EQ(shown.size(), 8u);
  EXPECT_EQ(Lines(shown.begin(), shown.begin() + 2), (Lines{"/", "  site/"}));
  EXPECT_EQ(shown[2], "    A.html");
  EXPECT_EQ(shown[3], "    b.html");
  EXPECT_EQ(shown[4], "    img/");
  EXPECT_EQ(shown[5], "      logo.png");
  EXPECT_EQ(shown[6], "      new.png");
  EXPECT_EQ(shown[7], "    z.txt");
  const VirtualFolder& site = page.model.workingTree().subfolders[0];
  EXPECT_EQ(site.subfolders[0].files[0].realPath, "/old/logo.png");
  EXPECT_EQ(site.subfolders[0].files[1].realPath, JoinPath(real.File("img"), "new.png"));
  EXPECT_EQ(page.items.RealPath(page.items.Find("/site/b.html")), real.File("b.html"));

  // The same folder again adds nothing and says nothing.
  page.model.ImportFolder(page.items.Find("/site"), real.path(), kPathSeparator);
  EXPECT_EQ(page.changes, 1);
  EXPECT_EQ(page.items.Shown(), shown);
}

RightHolders OnlyAlice() {
  return RightHolders{RightHolders::Kind::Names, {"alice"}};
}

TEST(DirectoryPageModel, PermissionsAreKeptPerFolderAndGoWithARemovedFolder) {
  Page page;
  VirtualFolder tree;
  tree.AddFolder("docs");
  tree.FindFolder("docs")->AddFolder("old");
  tree.AddFolder("pub");
  tree.AddFile("a.txt", "/r/a.txt");
  page.model.Load(tree);
  FolderRightsTable loaded;
  loaded.Set("/pub", FolderRight::Upload, RightHolders{RightHolders::Kind::Accounts, {}});
  page.model.LoadRights(loaded);
  EXPECT_FALSE(page.model.rightsChanged());

  EXPECT_EQ(page.model.FolderPathOf(page.model.rootItem()), "/");
  EXPECT_EQ(page.model.FolderPathOf(page.items.Find("/docs/old")), "/docs/old");
  EXPECT_EQ(page.model.FolderPathOf(page.items.Find("/a.txt")), std::nullopt) << "a file";
  EXPECT_EQ(page.model.FolderPathOf(0), std::nullopt) << "nothing selected";

  // The same rules again change nothing.
  page.model.StorePermissions("/pub", PermissionChoicesOf(loaded, "/pub"));
  EXPECT_FALSE(page.model.rightsChanged());
  EXPECT_EQ(page.changes, 0);

  PermissionChoices seeAlice;
  seeAlice.rows[0] = {PermissionChoice::OnlyNames, "alice"};
  page.model.StorePermissions("/docs/old", seeAlice);
  page.model.StorePermissions("/", seeAlice);
  EXPECT_TRUE(page.model.rightsChanged());
  EXPECT_EQ(page.changes, 2);
  EXPECT_EQ(page.model.workingRights().Own("/docs/old", FolderRight::See), OnlyAlice());
  page.model.RightsApplied();
  EXPECT_FALSE(page.model.rightsChanged());

  // A renamed folder takes its rules and those below it along.
  page.model.CreateFolder(0, "Papers");
  EXPECT_FALSE(page.model.Rename(page.items.Find("/docs"), "Papers"));
  EXPECT_EQ(page.errors, Lines{"Directory already exists: Papers"});
  EXPECT_FALSE(page.model.rightsChanged());
  EXPECT_TRUE(page.model.Rename(page.items.Find("/docs"), "notes"));
  EXPECT_EQ(page.model.workingTree().subfolders[0].name, "notes");
  EXPECT_NE(page.items.Find("/notes/old"), 0u);
  EXPECT_TRUE(page.model.rightsChanged());
  EXPECT_EQ(page.model.workingRights().Folders(), (Lines{"/", "/notes/old", "/pub"}));
  page.model.RightsApplied();
  // A renamed file changes no rule.
  EXPECT_TRUE(page.model.Rename(page.items.Find("/a.txt"), "b.txt"));
  EXPECT_EQ(page.model.workingTree().files[0].name, "b.txt");
  EXPECT_FALSE(page.model.rightsChanged());
  EXPECT_FALSE(page.model.Rename(page.model.rootItem(), "x")) << "the root keeps its name";

  // A removed folder takes the rules below it along; the others stay.
  page.model.Remove(page.items.Find("/notes"));
  EXPECT_TRUE(page.model.rightsChanged());
  EXPECT_EQ(page.model.workingRights().Folders(), (Lines{"/", "/pub"}));
  page.model.RightsApplied();
  // A removed file leaves the rights alone.
  page.model.Remove(page.items.Find("/b.txt"));
  EXPECT_FALSE(page.model.rightsChanged());
  // Clearing the tree keeps only the root's own rules.
  page.model.ClearAll();
  EXPECT_TRUE(page.model.rightsChanged());
  EXPECT_EQ(page.model.workingRights().Folders(), (Lines{"/"}));
  EXPECT_EQ(page.model.workingRights().Own("/", FolderRight::See), OnlyAlice());
}

// "Uploads go to..." walked through the dialogs it opens, as a user answers
// them; the choice lives in the working rights and follows the folder.
TEST(DirectoryPageModel, UploadFoldersAreChosenChangedAndStopped) {
  Page page;
  VirtualFolder tree;
  tree.AddFolder("pub");
  tree.AddFile("a.txt", "/r/a.txt");
  page.model.Load(tree);
  page.model.LoadRights({});

  std::vector<std::string> asked;
  std::vector<std::string> opened;
  UploadFolderAnswer answer = UploadFolderAnswer::Keep;
  std::string pick;
  UploadFolderDialogs dialogs{[&](const std::string& question) {
                                asked.push_back(question);
                                return answer;
                              },
                              [&](const std::string& title, const std::string& current) {
                                opened.push_back(title + "|" + current);
                                return pick;
                              }};
  const DirectoryItem pub = page.items.Find("/pub");

  // A file item takes no uploads; a cancelled chooser changes nothing.
  page.model.ChooseUploadFolder(page.items.Find("/a.txt"), dialogs);
  page.model.ChooseUploadFolder(pub, dialogs);
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(opened, Lines{"Choose the folder that receives the files uploaded to /pub.|"});
  EXPECT_EQ(page.model.UploadFolderLineOf(pub), "");
  EXPECT_EQ(page.changes, 0);

  // The first choice is taken without a question.
  pick = "C:\\Uploads";
  page.model.ChooseUploadFolder(pub, dialogs);
  EXPECT_EQ(page.model.workingRights().UploadTo("/pub"), "C:\\Uploads");
  EXPECT_EQ(page.model.UploadFolderLineOf(pub), "Uploads go to C:\\Uploads");
  EXPECT_EQ(page.model.UploadFolderLineOf(page.model.rootItem()), "");
  EXPECT_TRUE(page.model.rightsChanged());
  EXPECT_EQ(page.changes, 1);
  page.model.RightsApplied();

  // Then the user is asked first: Cancel keeps it, Yes opens the chooser on
  // the current folder, and cancelling that keeps it too.
  opened.clear();
  page.model.ChooseUploadFolder(pub, dialogs);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0],
            "Files uploaded to /pub are saved in\nC:\\Uploads\n\n"
            "Yes: choose another folder\nNo: stop uploads to /pub\nCancel: keep this folder");
  EXPECT_TRUE(opened.empty());
  answer = UploadFolderAnswer::ChooseAnother;
  pick = "";
  page.model.ChooseUploadFolder(pub, dialogs);
  EXPECT_EQ(opened,
            Lines{"Choose the folder that receives the files uploaded to /pub.|C:\\Uploads"});
  EXPECT_FALSE(page.model.rightsChanged());
  pick = "D:\\Inbox";
  page.model.ChooseUploadFolder(pub, dialogs);
  EXPECT_EQ(page.model.workingRights().UploadTo("/pub"), "D:\\Inbox");
  EXPECT_EQ(page.changes, 2);

  // The folder's uploads follow a rename and go with a removal.
  ASSERT_TRUE(page.model.Rename(pub, "inbox"));
  EXPECT_EQ(page.model.workingRights().UploadTo("/inbox"), "D:\\Inbox");
  EXPECT_EQ(page.model.UploadFolderLineOf(pub), "Uploads go to D:\\Inbox");
  page.model.Remove(pub);
  EXPECT_TRUE(page.model.workingRights().UploadFolders().empty());

  // No stops the uploads of a folder, the root's as well.
  page.model.ChooseUploadFolder(page.model.rootItem(), dialogs);
  EXPECT_EQ(page.model.UploadFolderLineOf(page.model.rootItem()), "Uploads go to D:\\Inbox");
  answer = UploadFolderAnswer::Stop;
  page.model.ChooseUploadFolder(page.model.rootItem(), dialogs);
  EXPECT_EQ(page.model.workingRights().UploadTo("/"), std::nullopt);
  EXPECT_TRUE(page.model.workingRights().empty());
  EXPECT_EQ(page.model.UploadFolderLineOf(page.model.rootItem()), "");
}

}  // namespace

// Visitors upload and delete while the window is open: OK and Apply keep
// what they did beside the user's own edits.
TEST(DirectoryPageModel, UploadsAndDeletesWhileOpenSurviveTheUsersEdits) {
  Page page;
  VirtualFolder tree;
  tree.AddFolder("inbox");
  tree.subfolders[0].AddFile("old.txt", "/up/old.txt");
  tree.subfolders[0].AddFile("gone.txt", "/up/gone.txt");
  tree.AddFile("mine.txt", "/r/mine.txt");
  page.model.Load(tree);
  page.model.CreateFolder(page.model.rootItem(), "new");
  page.model.Remove(page.items.Find("/mine.txt"));

  VirtualFolder live = tree;
  live.subfolders[0].AddFile("photo.jpg", "/up/photo.jpg");
  live.subfolders[0].RemoveEntry("gone.txt");
  live.subfolders[0].FindFile("old.txt")->realPath = "/up/old (replaced).txt";
  page.model.TakeInLiveChanges(live);

  EXPECT_EQ(page.items.Shown(), (Lines{"/", "  inbox/", "    old.txt", "    photo.jpg", "  new/"}));
  const VirtualFolder& inbox = page.model.workingTree().subfolders[0];
  ASSERT_NE(inbox.FindFile("photo.jpg"), nullptr);
  EXPECT_EQ(inbox.FindFile("photo.jpg")->realPath, "/up/photo.jpg");
  EXPECT_EQ(inbox.FindFile("old.txt")->realPath, "/up/old (replaced).txt");
  EXPECT_EQ(inbox.FindFile("gone.txt"), nullptr);
  EXPECT_EQ(page.model.workingTree().FindFile("mine.txt"), nullptr);
  // A second Apply with nothing new changes nothing.
  const VirtualFolder before = page.model.workingTree();
  page.model.TakeInLiveChanges(live);
  EXPECT_EQ(page.model.workingTree(), before);
}
