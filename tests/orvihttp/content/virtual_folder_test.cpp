#include <gtest/gtest.h>

#include "orvihttp/content/virtual_directory.h"

namespace {

// /index.html, /docs/{index.php, index.html, Index.htm}, /x (file) and /x/
// (folder) with /x/inner.txt, and a folder named ".." holding up.txt.
VirtualFolder SampleTree() {
  VirtualFolder root;
  root.AddFile("index.html", "C:\\web\\index.html");
  root.AddFolder("docs");
  VirtualFolder& docs = *root.FindFolder("docs");
  docs.AddFile("Index.htm", "C:\\web\\Index.htm");
  docs.AddFile("index.php", "C:\\web\\index.php");
  docs.AddFile("index.html", "C:\\web\\docs.html");
  root.AddFolder("x");
  root.FindFolder("x")->AddFile("inner.txt", "C:\\inner.txt");
  root.AddFile("x", "C:\\x.bin");
  root.AddFolder("..");
  root.FindFolder("..")->AddFile("up.txt", "C:\\up.txt");
  return root;
}

TEST(VirtualFolderTest, ResolvesFilesByExactBytes) {
  VirtualFolder root = SampleTree();
  ASSERT_NE(root.ResolveFile("/index.html"), nullptr);
  EXPECT_EQ(root.ResolveFile("/index.html")->realPath, "C:\\web\\index.html");
  EXPECT_EQ(root.ResolveFile("/Index.html"), nullptr);
  EXPECT_EQ(root.ResolveFile("/"), nullptr);
  EXPECT_EQ(root.ResolveFile(""), nullptr);
  ASSERT_NE(root.ResolveFile("/docs/index.php"), nullptr);
  EXPECT_EQ(root.ResolveFile("/docs/index.php")->realPath, "C:\\web\\index.php");
  // A path without its leading "/" is one name.
  ASSERT_NE(root.ResolveFile("index.html"), nullptr);
  EXPECT_EQ(root.ResolveFile("docs/index.php"), nullptr);
  // No "." or ".." processing: ".." is only a folder literally so named.
  EXPECT_EQ(root.ResolveFile("/docs/../index.html"), nullptr);
  ASSERT_NE(root.ResolveFile("/../up.txt"), nullptr);
  // An empty segment matches only a folder with an empty name.
  EXPECT_EQ(root.ResolveFile("//index.html"), nullptr);
}

TEST(VirtualFolderTest, FileAndFolderOfOneNameResolveSeparately) {
  VirtualFolder root = SampleTree();
  ASSERT_NE(root.ResolveFile("/x"), nullptr);
  EXPECT_EQ(root.ResolveFile("/x")->realPath, "C:\\x.bin");
  ASSERT_NE(root.ResolveFolder("/x"), nullptr);
  EXPECT_EQ(root.ResolveFolder("/x")->files.size(), 1u);
  ASSERT_NE(root.ResolveFile("/x/inner.txt"), nullptr);
  // A file entry is not a folder.
  VirtualFolder other;
  other.AddFile("a", "C:\\a");
  EXPECT_EQ(other.ResolveFile("/a/b.html"), nullptr);
  EXPECT_EQ(other.ResolveFolder("/a"), nullptr);
}

TEST(VirtualFolderTest, ResolveFolderWalksNamedFolders) {
  VirtualFolder root = SampleTree();
  EXPECT_EQ(root.ResolveFolder(""), &root);
  EXPECT_EQ(root.ResolveFolder("/docs"), root.FindFolder("docs"));
  EXPECT_EQ(root.ResolveFolder("docs"), nullptr);
  EXPECT_EQ(root.ResolveFolder("/nothing"), nullptr);
  EXPECT_EQ(root.ResolveFolder("/docs/nothing"), nullptr);
  root.FindFolder("docs")->AddFolder("");
  EXPECT_EQ(root.ResolveFolder("/docs/"), &root.FindFolder("docs")->subfolders[0]);
}

TEST(VirtualFolderTest, IndexFileIsTheFirstNameStartingWithIndexDot) {
  VirtualFolder root = SampleTree();
  const VirtualFile* index = root.FindFolder("docs")->FindIndexFile();
  ASSERT_NE(index, nullptr);
  EXPECT_EQ(index->name, "index.php");

  VirtualFolder only_upper;
  only_upper.AddFile("Index.htm", "C:\\a");
  only_upper.AddFile("index", "C:\\b");
  EXPECT_EQ(only_upper.FindIndexFile(), nullptr);
  only_upper.AddFile("index.", "C:\\c");
  ASSERT_NE(only_upper.FindIndexFile(), nullptr);
  EXPECT_EQ(only_upper.FindIndexFile()->realPath, "C:\\c");
}

TEST(VirtualFolderTest, AddRefusesClashesWithinEachListOnly) {
  VirtualFolder root;
  EXPECT_TRUE(root.AddFile("a", "C:\\one"));
  EXPECT_FALSE(root.AddFile("a", "C:\\two"));
  EXPECT_EQ(root.FindFile("a")->realPath, "C:\\one");
  EXPECT_TRUE(root.AddFolder("a"));
  EXPECT_FALSE(root.AddFolder("a"));
  EXPECT_TRUE(root.AddFile("A", "C:\\three"));
  EXPECT_EQ(root.files.size(), 2u);
  EXPECT_EQ(root.subfolders.size(), 1u);
  EXPECT_EQ(root.files[0].reserved, 0u);
  // Insertion order, never sorted.
  EXPECT_EQ(root.files[1].name, "A");
}

TEST(VirtualFolderTest, RemoveTakesTheFolderBeforeTheFile) {
  VirtualFolder root = SampleTree();
  root.RemoveEntry("x");
  EXPECT_EQ(root.FindFolder("x"), nullptr);
  EXPECT_NE(root.FindFile("x"), nullptr);
  root.RemoveEntry("x");
  EXPECT_EQ(root.FindFile("x"), nullptr);
  root.RemoveEntry("x");  // nothing left: no change
  root.RemoveEntry("");
  EXPECT_EQ(root.subfolders.size(), 2u);
}

TEST(VirtualFolderTest, RemoveWalksRelativePaths) {
  VirtualFolder root = SampleTree();
  root.RemoveEntry("/docs/index.php");
  EXPECT_EQ(root.FindFolder("docs")->files.size(), 2u);
  root.RemoveEntry("docs/index.html");
  EXPECT_EQ(root.FindFolder("docs")->files.size(), 1u);
  root.RemoveEntry("missing/Index.htm");
  EXPECT_EQ(root.FindFolder("docs")->files.size(), 1u);
  root.RemoveEntry("/docs");
  EXPECT_EQ(root.FindFolder("docs"), nullptr);
}

TEST(VirtualFolderTest, ClearEmptiesTheRootAndItsName) {
  VirtualFolder root = SampleTree();
  root.name = "named";
  root.Clear();
  EXPECT_EQ(root, VirtualFolder());
}

}  // namespace
