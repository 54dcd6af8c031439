#include "foundation/file_system.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>

#include "tests/support/test_support.h"

namespace {

using namespace std::chrono;

// Whole seconds only: the Windows runtime's setter drops the fraction.
void SetLastWrite(const std::string& path, sys_seconds time) {
  std::filesystem::last_write_time(path, file_clock::from_sys(time));
}

std::map<std::string, FolderEntry> ListByName(const std::string& folder) {
  std::map<std::string, FolderEntry> entries;
  for (const FolderEntry& entry : ListFolder(folder)) entries[entry.name] = entry;
  return entries;
}

TEST(FileSystem, ListsEntriesWithKindSizeAndTime) {
  TempFolder folder;
  ASSERT_TRUE(WriteFileBytes(folder.File("a.txt"), "hello"));
  ASSERT_TRUE(WriteFileBytes(folder.File(".hidden"), ""));
  ASSERT_TRUE(CreateFolder(folder.File("sub")));
  SetLastWrite(folder.File("a.txt"), sys_seconds{seconds{1700000000}});

  std::map<std::string, FolderEntry> entries = ListByName(folder.path());
  ASSERT_EQ(entries.size(), 3u) << "no \".\" or \"..\", hidden entries kept";
  const FolderEntry& file = entries["a.txt"];
  EXPECT_TRUE(file.isFile);
  EXPECT_FALSE(file.isFolder);
  EXPECT_EQ(file.size, 5u);
  EXPECT_EQ(file.lastWrite, (FileTime{1700000000, 0}));
  EXPECT_TRUE(entries[".hidden"].isFile);
  EXPECT_TRUE(entries["sub"].isFolder);
  EXPECT_FALSE(entries["sub"].isFile);

  EXPECT_TRUE(ListFolder(folder.File("missing")).empty());
  EXPECT_TRUE(ListFolder(folder.File("a.txt")).empty());
}

TEST(FileSystem, StatusIsForFilesOnly) {
  TempFolder folder;
  std::string path = folder.File("page.html");
  ASSERT_TRUE(WriteFileBytes(path, std::string(70000, 'x')));
  SetLastWrite(path, sys_seconds{seconds{1600000000}});

  std::optional<FileStatus> status = QueryFileStatus(path);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->size, 70000u);
  EXPECT_EQ(status->lastWrite, (FileTime{1600000000, 0}));

  EXPECT_FALSE(QueryFileStatus(folder.path()).has_value());
  EXPECT_FALSE(QueryFileStatus(folder.File("missing")).has_value());
  EXPECT_TRUE(IsFile(path));
  EXPECT_FALSE(IsFolder(path));
  EXPECT_TRUE(IsFolder(folder.path()));
  EXPECT_FALSE(IsFile(folder.path()));
}

TEST(FileSystem, RenameReplacesAndRemoveDeletes) {
  TempFolder folder;
  std::string from = folder.File("new");
  std::string to = folder.File("old");
  ASSERT_TRUE(WriteFileBytes(from, "new text"));
  ASSERT_TRUE(WriteFileBytes(to, "old"));
  ASSERT_TRUE(RenameFile(from, to));
  EXPECT_FALSE(IsFile(from));
  EXPECT_EQ(ReadFileBytes(to), "new text");
  EXPECT_FALSE(RenameFile(from, to));

  EXPECT_TRUE(RemoveFile(to));
  EXPECT_FALSE(RemoveFile(to));
  std::string sub = folder.File("sub");
  ASSERT_TRUE(CreateFolder(sub));
  EXPECT_TRUE(CreateFolder(sub)) << "an existing folder is fine";
  EXPECT_TRUE(RemoveFolder(sub));
  EXPECT_FALSE(IsFolder(sub));
}

}  // namespace
