#include "foundation/file_text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "foundation/file_system.h"
#include "tests/support/test_support.h"

namespace {

// Writes raw bytes with the standard library, independent of the helpers.
void WriteRaw(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The size the file system reports; 0 for what is not a file.
uint64_t SizeOnDisk(const std::string& path) {
  std::optional<FileStatus> status = QueryFileStatus(path);
  return status ? status->size : 0;
}

std::string ReadRaw(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(FileText, WriteAndReadKeepEveryByte) {
  TempFolder folder;
  std::string path = folder.File("text.ini");
  std::string text = "# Dovetab v2\r\n\r\nA = 1\r\nlone\nfeed\rreturn\r\n\xff\x80\x01 end";
  ASSERT_TRUE(WriteFileText(path, text));
  EXPECT_EQ(ReadRaw(path), text);
  EXPECT_EQ(ReadFileText(path, 0), text);
  EXPECT_EQ(SizeOnDisk(path), text.size());
}

TEST(FileText, ReadStartsAtTheOffset) {
  TempFolder folder;
  std::string path = folder.File("offset.txt");
  WriteRaw(path, "0123456789");
  EXPECT_EQ(ReadFileText(path, 4), "456789");
  EXPECT_EQ(ReadFileText(path, 9), "9");
  EXPECT_EQ(ReadFileText(path, 10), "");
  EXPECT_EQ(ReadFileText(path, 1000), "");
}

TEST(FileText, NulBytesCutTheText) {
  TempFolder folder;
  // Not "nul.bin": that is a device name on Windows.
  std::string path = folder.File("zero.bin");
  WriteRaw(path, std::string("ab\0cd\0", 6));
  EXPECT_EQ(ReadFileText(path, 0), "ab");
  EXPECT_EQ(ReadFileText(path, 3), "cd");
  EXPECT_EQ(SizeOnDisk(path), 6u);

  ASSERT_TRUE(WriteFileText(path, std::string("xy\0z", 4)));
  EXPECT_EQ(ReadRaw(path), "xy");
  ASSERT_TRUE(AppendFileText(path, std::string("1\0002", 3)));
  EXPECT_EQ(ReadRaw(path), "xy1");
}

TEST(FileText, NulBeyondTheFirstChunkCutsToo) {
  TempFolder folder;
  std::string path = folder.File("large.bin");
  std::string big(200000, 'x');
  big[150001] = '\0';
  WriteRaw(path, big);
  EXPECT_EQ(ReadFileText(path, 0), std::string(150001, 'x'));
  EXPECT_EQ(ReadFileText(path, 150002).size(), 200000u - 150002u);
  EXPECT_EQ(SizeOnDisk(path), 200000u);
}

TEST(FileText, WriteTruncatesAndAppendAdds) {
  TempFolder folder;
  std::string path = folder.File("log.txt");
  ASSERT_TRUE(AppendFileText(path, "first\r\n"));
  ASSERT_TRUE(AppendFileText(path, "second\r\n"));
  EXPECT_EQ(ReadFileText(path, 0), "first\r\nsecond\r\n");
  ASSERT_TRUE(WriteFileText(path, "short"));
  EXPECT_EQ(ReadFileText(path, 0), "short");
  ASSERT_TRUE(WriteFileText(path, ""));
  ASSERT_TRUE(QueryFileStatus(path).has_value());
  EXPECT_EQ(SizeOnDisk(path), 0u);
  EXPECT_EQ(ReadFileText(path, 0), "");
}

TEST(FileText, UnopenableFilesFailQuietly) {
  TempFolder folder;
  std::string missing = folder.File("missing.txt");
  EXPECT_EQ(ReadFileText(missing, 0), "");
  EXPECT_FALSE(QueryFileStatus(missing).has_value());
  std::string inMissingFolder = folder.File("no-such-folder") + "/x.txt";
  EXPECT_FALSE(WriteFileText(inMissingFolder, "x"));
  EXPECT_FALSE(AppendFileText(inMissingFolder, "x"));
  // A folder is not a text file.
  EXPECT_EQ(ReadFileText(folder.path(), 0), "");
  EXPECT_FALSE(QueryFileStatus(folder.path()).has_value());
  EXPECT_FALSE(WriteFileText(folder.path(), "x"));
}

}  // namespace
