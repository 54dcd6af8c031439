#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/file_system.h"
#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "orvihttp/content/virtual_directory.h"
#include "tests/support/test_support.h"

namespace {

// A link back to an ancestor folder must not make the import endless.
TEST(ImportFolderTest, LinkLoopsEndAtTheFirstRepeat) {
  TempFolder real;
  ASSERT_TRUE(CreateFolder(real.File("sub")));
  ASSERT_TRUE(WriteFileText(JoinPath(real.File("sub"), "f.txt"), "f"));
  ASSERT_EQ(symlink(real.path().c_str(), JoinPath(real.File("sub"), "up").c_str()), 0);
  ASSERT_EQ(symlink(real.File("sub").c_str(), real.File("again").c_str()), 0);

  VirtualFolder root;
  ImportFolder(root, real.path());
  const VirtualFolder* sub = root.FindFolder("sub");
  ASSERT_NE(sub, nullptr);
  EXPECT_NE(sub->FindFile("f.txt"), nullptr);
  // "up" leads back to the imported folder: it stays an empty folder.
  ASSERT_NE(sub->FindFolder("up"), nullptr);
  EXPECT_TRUE(sub->FindFolder("up")->subfolders.empty());
  // "again" is the same folder as "sub" but not an ancestor: imported once more.
  ASSERT_NE(root.FindFolder("again"), nullptr);
  EXPECT_NE(root.FindFolder("again")->FindFile("f.txt"), nullptr);
}

TEST(ImportFolderTest, UnreadableFolderAddsNothing) {
  VirtualFolder root;
  EXPECT_FALSE(ImportFolder(root, "/nonexistent/orvi/folder"));
  EXPECT_EQ(root, VirtualFolder());
}

// Links that lead out of the chosen folder are not followed, links inside it
// are; entries that are neither a file nor a folder are skipped.
TEST(ImportFolderTest, NothingOutsideTheChosenFolderIsPublished) {
  TempFolder outside;
  ASSERT_TRUE(WriteFileText(outside.File("secret.txt"), "s"));
  ASSERT_TRUE(CreateFolder(outside.File("private")));
  ASSERT_TRUE(WriteFileText(JoinPath(outside.File("private"), "key"), "k"));
  TempFolder parent;
  // A sibling whose name starts like the chosen folder's is still outside.
  const std::string site = parent.File("site");
  ASSERT_TRUE(CreateFolder(site));
  ASSERT_TRUE(CreateFolder(parent.File("site2")));
  ASSERT_TRUE(WriteFileText(JoinPath(parent.File("site2"), "near.txt"), "n"));
  ASSERT_TRUE(CreateFolder(JoinPath(site, "docs")));
  ASSERT_TRUE(WriteFileText(JoinPath(site, "index.html"), "i"));
  ASSERT_TRUE(WriteFileText(JoinPath(JoinPath(site, "docs"), "a.txt"), "a"));
  auto link = [&](const std::string& target, const std::string& name) {
    return symlink(target.c_str(), JoinPath(site, name).c_str()) == 0;
  };
  ASSERT_TRUE(link(outside.File("secret.txt"), "secret.txt"));
  ASSERT_TRUE(link(outside.File("private"), "private"));
  ASSERT_TRUE(link(parent.File("site2"), "sibling"));
  ASSERT_TRUE(link("../site2/near.txt", "near.txt"));
  ASSERT_TRUE(link("docs/a.txt", "alias.txt"));
  ASSERT_TRUE(link(JoinPath(site, "docs"), "manual"));
  ASSERT_TRUE(link(JoinPath(site, "gone"), "broken"));
  ASSERT_EQ(mkfifo(JoinPath(site, "pipe").c_str(), 0600), 0);

  VirtualFolder root;
  std::vector<std::string> reported;
  ASSERT_TRUE(ImportFolder(root, site,
                           [&](const std::vector<std::string>& folders, const std::string& name,
                               bool isFolder, const std::string&) {
                             std::string path;
                             for (const std::string& folder : folders) path += "/" + folder;
                             reported.push_back(path + "/" + name + (isFolder ? "/" : ""));
                           }));

  EXPECT_EQ(root.ResolveFile("/secret.txt"), nullptr);
  EXPECT_EQ(root.FindFolder("private"), nullptr);
  EXPECT_EQ(root.FindFolder("sibling"), nullptr);
  EXPECT_EQ(root.FindFile("near.txt"), nullptr);
  EXPECT_EQ(root.FindFile("broken"), nullptr);
  EXPECT_EQ(root.FindFile("pipe"), nullptr);
  ASSERT_NE(root.ResolveFile("/alias.txt"), nullptr);
  EXPECT_EQ(root.ResolveFile("/alias.txt")->realPath, JoinPath(site, "alias.txt"));
  EXPECT_NE(root.ResolveFile("/manual/a.txt"), nullptr);
  EXPECT_NE(root.ResolveFile("/docs/a.txt"), nullptr);
  EXPECT_NE(root.ResolveFile("/index.html"), nullptr);
  std::sort(reported.begin(), reported.end());
  EXPECT_EQ(reported, (std::vector<std::string>{"/alias.txt", "/docs/", "/docs/a.txt",
                                                "/index.html", "/manual/", "/manual/a.txt"}));

  // A second import adds nothing and says so.
  reported.clear();
  VirtualFolder before = root;
  EXPECT_FALSE(ImportFolder(root, site, [&](auto&&...) { reported.push_back("x"); }));
  EXPECT_EQ(root, before);
  EXPECT_TRUE(reported.empty());
}

TEST(ImportFolderTest, UnreadableEntriesAreSkippedAndTheRestImported) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  TempFolder real;
  ASSERT_TRUE(CreateFolder(real.File("closed")));
  ASSERT_TRUE(WriteFileText(JoinPath(real.File("closed"), "x.txt"), "x"));
  ASSERT_TRUE(WriteFileText(real.File("locked.txt"), "l"));
  ASSERT_TRUE(WriteFileText(real.File("open.txt"), "o"));
  ASSERT_EQ(chmod(real.File("closed").c_str(), 0), 0);
  ASSERT_EQ(chmod(real.File("locked.txt").c_str(), 0), 0);
  VirtualFolder root;
  EXPECT_TRUE(ImportFolder(root, real.path()));
  chmod(real.File("closed").c_str(), 0700);
  EXPECT_EQ(root.FindFolder("closed"), nullptr);
  EXPECT_EQ(root.FindFile("locked.txt"), nullptr);
  EXPECT_NE(root.FindFile("open.txt"), nullptr);
}

}  // namespace
