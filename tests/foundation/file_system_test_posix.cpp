#include <gtest/gtest.h>
#include <unistd.h>

#include <map>

#include "foundation/file_system.h"
#include "tests/support/test_support.h"

namespace {

// Links are followed: one to a folder is a folder (imports walk into it), one
// to a file is a file (a linked plugin loads), a broken one is neither.
TEST(FileSystem, ListingFollowsLinks) {
  TempFolder folder;
  ASSERT_TRUE(CreateFolder(folder.File("real")));
  ASSERT_TRUE(WriteFileBytes(folder.File("real.so"), "x"));
  ASSERT_EQ(symlink(folder.File("real").c_str(), folder.File("to-folder").c_str()), 0);
  ASSERT_EQ(symlink(folder.File("real.so").c_str(), folder.File("to-file.so").c_str()), 0);
  ASSERT_EQ(symlink(folder.File("gone").c_str(), folder.File("broken").c_str()), 0);

  std::map<std::string, FolderEntry> entries;
  for (const FolderEntry& entry : ListFolder(folder.path())) entries[entry.name] = entry;
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_TRUE(entries["to-folder"].isFolder);
  EXPECT_TRUE(entries["to-file.so"].isFile);
  EXPECT_FALSE(entries["broken"].isFile);
  EXPECT_FALSE(entries["broken"].isFolder);
}

}  // namespace
