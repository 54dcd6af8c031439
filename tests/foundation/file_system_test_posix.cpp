#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <vector>

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

TEST(FileSystem, LastWriteKeepsTheFractionAndRoundsDown) {
  using namespace std::chrono;
  TempFolder folder;
  std::string path = folder.File("page.html");
  ASSERT_TRUE(WriteFileBytes(path, "x"));
  auto set = [&](sys_time<nanoseconds> time) {
    std::filesystem::last_write_time(path, file_clock::from_sys(time));
  };
  // Before 1970 the seconds still round down, as an HTTP date of the file
  // needs.
  set(sys_seconds{seconds{-2}} + milliseconds{500});
  std::optional<FileStatus> first = QueryFileStatus(path);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->lastWrite, (FileTime{-2, 500000000}));
  // A rewrite within the same second still shows as a change.
  set(sys_seconds{seconds{-2}} + milliseconds{600});
  std::vector<FolderEntry> entries = ListFolder(folder.path());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_NE(entries[0].lastWrite, first->lastWrite);
  EXPECT_EQ(entries[0].lastWrite.seconds, -2);
}

}  // namespace
