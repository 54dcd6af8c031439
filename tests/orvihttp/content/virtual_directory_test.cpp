#include "orvihttp/content/virtual_directory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <thread>

#include "foundation/file_system.h"
#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "tests/support/test_support.h"

namespace {

std::string Name(const std::string& text) {
  return text + std::string(1, '\0');
}

// A root named "root" with one file (reserved 0xDEADBEEF) and one sub-folder
// holding a file with reserved 7, written by hand.
std::string HandWrittenFile() {
  return LeWord(256) + Name("root") + LeWord(1) + LeWord(1) + Name("a.txt") + Name("C:\\a.txt") +
         LeWord(0xDEADBEEF) + Name("sub") + LeWord(1) + LeWord(0) + Name("b c.html") +
         Name("D:\\x\\b c.html") + LeWord(7);
}

class VirtualDirectoryTest : public testing::Test {
 protected:
  // Loads a marker tree so that a refused load can be told apart.
  void LoadMarker() {
    VirtualFolder marker;
    marker.AddFile("marker", "C:\\marker");
    tree_.ReplaceTree(marker);
  }
  bool MarkerStands() { return tree_.ResolveFile("/marker").has_value(); }

  VirtualDirectory tree_;
  TempFolder temp_;
};

TEST_F(VirtualDirectoryTest, EmptyTreeIsThirteenBytes) {
  std::string path = temp_.File("OrviHTTP.dir");
  ASSERT_TRUE(tree_.SaveTree(path));
  EXPECT_EQ(ReadFileBytes(path),
            std::string("\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00", 13));
}

TEST_F(VirtualDirectoryTest, SavedTreeLoadsBackEqualWithReservedWords) {
  std::string path = temp_.File("OrviHTTP.dir");
  WriteFileBytes(path, HandWrittenFile());
  ASSERT_TRUE(tree_.LoadTree(path));
  VirtualFolder loaded = tree_.CopyTree();
  EXPECT_EQ(loaded.name, "root");
  ASSERT_EQ(loaded.files.size(), 1u);
  EXPECT_EQ(loaded.files[0].reserved, 0xDEADBEEFu);
  ASSERT_EQ(loaded.subfolders.size(), 1u);
  EXPECT_EQ(loaded.subfolders[0].files[0].realPath, "D:\\x\\b c.html");
  EXPECT_EQ(loaded.subfolders[0].files[0].reserved, 7u);

  std::string again = temp_.File("again.dir");
  ASSERT_TRUE(tree_.SaveTree(again));
  EXPECT_EQ(ReadFileBytes(again), HandWrittenFile());
  tree_.Clear();
  ASSERT_TRUE(tree_.LoadTree(again));
  EXPECT_EQ(tree_.CopyTree(), loaded);
}

TEST_F(VirtualDirectoryTest, ForeignVersionsShortAndMissingFilesLeaveTheTree) {
  LoadMarker();
  std::string body = HandWrittenFile().substr(4);
  for (uint32_t version : {255u, 257u, 0u, 0x01000000u}) {
    WriteFileBytes(temp_.File("v.dir"), LeWord(version) + body);
    EXPECT_FALSE(tree_.LoadTree(temp_.File("v.dir"))) << version;
    EXPECT_TRUE(MarkerStands()) << version;
  }
  WriteFileBytes(temp_.File("short.dir"), std::string("\x00\x01\x00", 3));
  EXPECT_FALSE(tree_.LoadTree(temp_.File("short.dir")));
  EXPECT_FALSE(tree_.LoadTree(temp_.File("missing.dir")));
  EXPECT_FALSE(tree_.LoadTree(temp_.path()));  // a folder
  EXPECT_TRUE(MarkerStands());
}

TEST_F(VirtualDirectoryTest, EveryTruncationIsRefusedWhole) {
  LoadMarker();
  std::string whole = HandWrittenFile();
  for (std::size_t length = 0; length < whole.size(); ++length) {
    // An exact-size heap copy, so the sanitizer flavour sees any read past it.
    std::vector<uint8_t> bytes(whole.begin(), whole.begin() + static_cast<long>(length));
    EXPECT_FALSE(ParseTree(bytes.data(), bytes.size()).has_value()) << length;
  }
  WriteFileBytes(temp_.File("cut.dir"), whole.substr(0, whole.size() - 1));
  EXPECT_FALSE(tree_.LoadTree(temp_.File("cut.dir")));
  EXPECT_TRUE(MarkerStands());
}

TEST_F(VirtualDirectoryTest, CorruptCountsAndDepthAreRefused) {
  // Counts far beyond what the data can hold.
  std::string huge = LeWord(256) + Name("") + LeWord(0x7FFFFFFF) + LeWord(0);
  EXPECT_FALSE(ParseTree(reinterpret_cast<const uint8_t*>(huge.data()), huge.size()));
  std::string many_folders =
      LeWord(256) + Name("") + LeWord(0) + LeWord(1000) + Name("") + LeWord(0);
  EXPECT_FALSE(
      ParseTree(reinterpret_cast<const uint8_t*>(many_folders.data()), many_folders.size()));
  // A name without its 0 byte at the end of the data.
  std::string open_name = LeWord(256) + "abc";
  EXPECT_FALSE(ParseTree(reinterpret_cast<const uint8_t*>(open_name.data()), open_name.size()));

  // Negative counts mean none.
  std::string negative = LeWord(256) + Name("r") + LeWord(0xFFFFFFFF) + LeWord(0x80000000);
  auto parsed = ParseTree(reinterpret_cast<const uint8_t*>(negative.data()), negative.size());
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->name, "r");
  EXPECT_TRUE(parsed->files.empty() && parsed->subfolders.empty());

  // A chain of folders just inside the depth limit loads; one more does not.
  auto chain = [](int depth) {
    std::string bytes = LeWord(256);
    for (int i = 0; i < depth; ++i) bytes += Name("d") + LeWord(0) + LeWord(1);
    return bytes + Name("leaf") + LeWord(0) + LeWord(0);
  };
  std::string deep = chain(kMaxVirtualFolderDepth);
  EXPECT_TRUE(ParseTree(reinterpret_cast<const uint8_t*>(deep.data()), deep.size()));
  std::string deeper = chain(kMaxVirtualFolderDepth + 1);
  EXPECT_FALSE(ParseTree(reinterpret_cast<const uint8_t*>(deeper.data()), deeper.size()));
}

TEST_F(VirtualDirectoryTest, ResolveReturnsCopiesAndShallowFolders) {
  std::string path = temp_.File("OrviHTTP.dir");
  WriteFileBytes(path, HandWrittenFile());
  ASSERT_TRUE(tree_.LoadTree(path));
  std::optional<VirtualFolder> root = tree_.ResolveFolder("");
  ASSERT_TRUE(root.has_value());
  EXPECT_EQ(root->name, "root");
  ASSERT_EQ(root->subfolders.size(), 1u);
  EXPECT_EQ(root->subfolders[0].name, "sub");
  EXPECT_TRUE(root->subfolders[0].files.empty());
  EXPECT_FALSE(tree_.ResolveFolder("/a.txt").has_value());
  auto file = tree_.ResolveFile("/sub/b c.html");
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(file->realPath, "D:\\x\\b c.html");
}

TEST_F(VirtualDirectoryTest, LiveEditsByFolderPath) {
  EXPECT_TRUE(tree_.AddFolder("/", "docs"));
  EXPECT_FALSE(tree_.AddFolder("", "docs"));
  EXPECT_TRUE(tree_.AddFile("/docs/", "index.html", "C:\\i.html"));
  EXPECT_FALSE(tree_.AddFile("/docs", "index.html", "C:\\other.html"));
  EXPECT_FALSE(tree_.AddFile("/missing", "a", "C:\\a"));
  EXPECT_EQ(tree_.ResolveFile("/docs/index.html")->realPath, "C:\\i.html");
  tree_.RemoveEntry("/docs/index.html");
  EXPECT_FALSE(tree_.ResolveFile("/docs/index.html"));
  tree_.EditTree([](VirtualFolder& root) { root.name = "edited"; });
  EXPECT_EQ(tree_.CopyTree().name, "edited");
  tree_.Clear();
  EXPECT_EQ(tree_.CopyTree(), VirtualFolder());
}

TEST_F(VirtualDirectoryTest, ImportKeepsExistingEntriesAndMergesFolders) {
  TempFolder real;
  ASSERT_TRUE(WriteFileText(real.File("a.txt"), "new"));
  ASSERT_TRUE(CreateFolder(real.File("sub")));
  ASSERT_TRUE(WriteFileText(JoinPath(real.File("sub"), "b.txt"), "b"));
  ASSERT_TRUE(CreateFolder(real.File("empty")));

  ASSERT_TRUE(tree_.AddFolder("", "site"));
  ASSERT_TRUE(tree_.AddFile("/site", "a.txt", "C:\\old\\a.txt"));
  ASSERT_TRUE(tree_.AddFolder("/site", "sub"));
  ASSERT_TRUE(tree_.AddFile("/site/sub", "keep.txt", "C:\\keep.txt"));
  ASSERT_TRUE(tree_.ImportFolder("/site", real.path()));
  EXPECT_FALSE(tree_.ImportFolder("/nowhere", real.path()));

  VirtualFolder site = *tree_.CopyTree().FindFolder("site");
  EXPECT_EQ(site.FindFile("a.txt")->realPath, "C:\\old\\a.txt");
  ASSERT_EQ(site.files.size(), 1u);
  ASSERT_EQ(site.subfolders.size(), 2u);  // sub reused, empty added
  const VirtualFolder* sub = site.FindFolder("sub");
  ASSERT_NE(sub, nullptr);
  ASSERT_EQ(sub->files.size(), 2u);
  EXPECT_EQ(sub->files[0].name, "keep.txt");
  EXPECT_EQ(sub->files[1].realPath, JoinPath(real.File("sub"), "b.txt"));
  EXPECT_NE(site.FindFolder("empty"), nullptr);
  EXPECT_EQ(site.FindFolder("real"), nullptr);  // the chosen folder itself is not added
}

TEST_F(VirtualDirectoryTest, ReadersSeeWholeTreesWhileItIsReplaced) {
  VirtualFolder one;
  one.AddFolder("a");
  one.FindFolder("a")->AddFile("f", "C:\\one");
  VirtualFolder two;
  two.AddFolder("a");
  two.FindFolder("a")->AddFile("f", "C:\\two");
  tree_.ReplaceTree(one);

  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([&] {
      while (!stop) {
        auto file = tree_.ResolveFile("/a/f");
        if (!file || (file->realPath != "C:\\one" && file->realPath != "C:\\two")) ++torn;
      }
    });
  }
  for (int i = 0; i < 2000; ++i) tree_.ReplaceTree(i % 2 ? one : two);
  stop = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(torn, 0);
}

}  // namespace
