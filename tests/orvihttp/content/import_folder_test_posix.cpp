#include <gtest/gtest.h>
#include <unistd.h>

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
  ImportFolder(root, "/nonexistent/orvi/folder");
  EXPECT_EQ(root, VirtualFolder());
}

}  // namespace
