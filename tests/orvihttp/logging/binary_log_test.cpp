#include "orvihttp/logging/binary_log.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "orvihttp/logging/binary_log_reader.h"
#include "orvihttp/logging/log_file.h"
#include "orvihttp/logging/server_logs.h"
#include "tests/support/test_support.h"

namespace {

uint32_t WordAt(const std::string& bytes, std::size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

std::vector<BinLogRecord> Parse(const std::string& bytes, std::size_t* consumed = nullptr) {
  std::vector<BinLogRecord> records;
  std::size_t used = ParseBinLog(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                 [&](const BinLogRecord& record) { records.push_back(record); });
  if (consumed) *consumed = used;
  return records;
}

class BinaryLogTest : public testing::Test {
 protected:
  void SetUp() override {
    DestroySettings();
    path_ = temp_.File("OrviHTTP.binlog");
    SetString("BinLogPath", path_, false);
  }
  void TearDown() override {
    DestroySettings();
    CloseLogFiles(logs_);  // so the folder can go
  }

  // The writing calls with the settings as the store holds them now.
  void Write(const std::string& records) {
    AppendBinaryLogRecords(logs_, *CurrentServerSettings(), records);
  }
  void LogConnectionAccepted() { ::LogConnectionAccepted(logs_, *CurrentServerSettings()); }
  void LogRequestSucceeded(const std::string& peer) { Write(RequestOutcomeRecord(false, peer)); }
  void LogRequestFailed(const std::string& peer) { Write(RequestOutcomeRecord(true, peer)); }
  void LogFileDownloaded(const std::string& peer, const std::string& name, uint64_t bytes) {
    Write(FileDownloadedRecord(peer, name, bytes));
  }
  void AppendBinaryLog(int32_t type, const std::string& first, const std::string& second,
                       uint32_t value) {
    ::AppendBinaryLog(logs_, *CurrentServerSettings(), type, first, second, value);
  }

  TempFolder temp_;
  std::string path_;
  ServerLogs logs_;
};

TEST_F(BinaryLogTest, RecordsAreByteExact) {
  uint32_t before = static_cast<uint32_t>(std::time(nullptr));
  LogConnectionAccepted();
  LogRequestSucceeded("10.0.0.1");
  LogRequestFailed("");
  LogFileDownloaded("10.0.0.1", "index.html", 1234);
  uint32_t after = static_cast<uint32_t>(std::time(nullptr));

  std::string bytes = ReadFileBytes(path_);
  ASSERT_EQ(bytes.size(), 8u + 21u + 13u + (8u + 4u + 9u + 4u + 11u + 4u));
  for (std::size_t at : {0u, 8u, 29u, 42u}) {
    EXPECT_GE(WordAt(bytes, at), before);
    EXPECT_LE(WordAt(bytes, at), after);
  }
  EXPECT_EQ(bytes.substr(4, 4), LeWord(0));
  EXPECT_EQ(bytes.substr(12, 17), LeWord(3) + LeWord(8) + std::string("10.0.0.1\0", 9));
  EXPECT_EQ(bytes.substr(33, 9), LeWord(4) + LeWord(0) + std::string(1, '\0'));
  EXPECT_EQ(bytes.substr(46), LeWord(8) + LeWord(8) + std::string("10.0.0.1\0", 9) + LeWord(10) +
                                  std::string("index.html\0", 11) + LeWord(1234));
}

TEST_F(BinaryLogTest, EncodingOfEveryTypeAndNoneForOthers) {
  EXPECT_EQ(EncodeBinLogRecord(5, 0, "ignored", "", 9), LeWord(5) + LeWord(0));
  EXPECT_EQ(EncodeBinLogRecord(5, 1, "r", "", 0), LeWord(5) + LeWord(1) + LeWord(1) + "r" + '\0');
  EXPECT_EQ(EncodeBinLogRecord(5, 2, "", "", 0), LeWord(5) + LeWord(2) + LeWord(0) + '\0');
  EXPECT_EQ(EncodeBinLogRecord(-1, 9, "a", "bc", 0xFFFFFFFF),
            LeWord(0xFFFFFFFF) + LeWord(9) + LeWord(1) + "a" + '\0' + LeWord(2) + "bc" + '\0' +
                LeWord(0xFFFFFFFF));
  for (int32_t type : {-1, 5, 6, 7, 10, 1000}) {
    EXPECT_EQ(EncodeBinLogRecord(5, type, "a", "b", 1), "") << type;
  }
}

TEST_F(BinaryLogTest, UnknownTypeTouchesTheFileWithoutWriting) {
  AppendBinaryLog(5, "10.0.0.1", "x", 1);
  EXPECT_TRUE(IsFile(path_));
  EXPECT_EQ(ReadFileBytes(path_), "");
}

TEST_F(BinaryLogTest, EmptyOrUnwritablePathWritesNothing) {
  SetString("BinLogPath", "", false);
  LogConnectionAccepted();
  SetString("BinLogPath", JoinPath(temp_.File("missing"), "x.binlog"), false);
  LogConnectionAccepted();
  EXPECT_FALSE(IsFile(path_));
  EXPECT_FALSE(IsFolder(temp_.File("missing")));
}

TEST_F(BinaryLogTest, DownloadSizeSaturatesAt32Bits) {
  LogFileDownloaded("1.2.3.4", "big.iso", 5000000000ULL);
  LogFileDownloaded("1.2.3.4", "edge.iso", 0xFFFFFFFFULL);
  LogFileDownloaded("1.2.3.4", "small.iso", 0x100000000ULL - 2);
  std::vector<BinLogRecord> records = Parse(ReadFileBytes(path_));
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].value, 0xFFFFFFFFu);
  EXPECT_EQ(records[1].value, 0xFFFFFFFFu);
  EXPECT_EQ(records[2].value, 0xFFFFFFFEu);
  EXPECT_EQ(records[0].second, "big.iso");
}

TEST(BinLogReaderTest, ReadsEveryTypeAndStopsAtAnIncompleteRecord) {
  std::string bytes = EncodeBinLogRecord(1, 0, "", "", 0) + EncodeBinLogRecord(2, 1, "r1", "", 0) +
                      EncodeBinLogRecord(3, 2, "r2", "", 0) +
                      EncodeBinLogRecord(4, 3, "10.0.0.1", "", 0) +
                      EncodeBinLogRecord(5, 4, "10.0.0.2", "", 0) +
                      EncodeBinLogRecord(6, 8, "10.0.0.3", "a.html", 77) +
                      EncodeBinLogRecord(7, 9, "10.0.0.4", "up.bin", 88) + LeWord(8) + LeWord(42);
  std::size_t complete = bytes.size();
  std::string partial = EncodeBinLogRecord(9, 8, "10.0.0.5", "b.html", 99);

  for (std::size_t cut = 0; cut < partial.size(); ++cut) {
    std::string data = bytes + partial.substr(0, cut);
    std::size_t consumed = 0;
    std::vector<BinLogRecord> records = Parse(data, &consumed);
    ASSERT_EQ(consumed, complete) << cut;
    ASSERT_EQ(records.size(), 8u);
    EXPECT_EQ(records[1].first, "r1");
    EXPECT_EQ(records[3].type, 3);
    EXPECT_EQ(records[3].first, "10.0.0.1");
    EXPECT_EQ(records[5].second, "a.html");
    EXPECT_EQ(records[5].value, 77u);
    EXPECT_EQ(records[6].type, 9);
    EXPECT_EQ(records[6].value, 88u);
    // An unknown type is a bare head.
    EXPECT_EQ(records[7].time, 8);
    EXPECT_EQ(records[7].type, 42);
  }
  std::vector<BinLogRecord> all = Parse(bytes + partial);
  ASSERT_EQ(all.size(), 9u);
  EXPECT_EQ(all[8].first, "10.0.0.5");
}

TEST(BinLogReaderTest, HugeOrMalformedRecordsAreSkipped) {
  std::size_t consumed = 1;
  std::string after = EncodeBinLogRecord(9, 3, "10.0.0.9", "", 0);
  std::string huge = EncodeBinLogRecord(1, 0, "", "", 0) + LeWord(2) + LeWord(3) +
                     LeWord(0xFFFFFFFF) + "10.0.0.1" + '\0' + after;
  std::vector<BinLogRecord> records = Parse(huge, &consumed);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].time, 9);
  EXPECT_EQ(records[1].first, "10.0.0.9");
  EXPECT_EQ(consumed, huge.size());

  // A string without its 0 byte: the damaged record is passed over.
  std::string no_nul = LeWord(2) + LeWord(3) + LeWord(2) + "abc";
  EXPECT_EQ(Parse(no_nul, &consumed).size(), 0u);
  EXPECT_GT(consumed, 0u);
  records = Parse(no_nul + after, &consumed);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].first, "10.0.0.9");
  // A string with a 0 byte inside is no string a writer produces.
  std::string inner_nul = LeWord(2) + LeWord(3) + LeWord(3) + std::string("a\0c", 3) + '\0' + after;
  records = Parse(inner_nul, &consumed);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].time, 9);
  // Damage followed by the start of a record still being written leaves
  // that start for the next pass.
  EXPECT_EQ(Parse(no_nul + after.substr(0, 10), &consumed).size(), 0u);
  EXPECT_LE(consumed, no_nul.size());
}

TEST_F(BinaryLogTest, FileReaderCrossesChunkBoundaries) {
  std::string bytes;
  constexpr int kRecords = 20000;  // well over one 64 KiB chunk
  for (int i = 0; i < kRecords; ++i) {
    bytes += EncodeBinLogRecord(i, 8, "10.0.0." + std::to_string(i % 256), "f" + std::to_string(i),
                                static_cast<uint32_t>(i));
  }
  std::string long_name(100000, 'n');  // one record longer than a chunk
  bytes += EncodeBinLogRecord(1, 8, "x", long_name, 5);
  bytes += LeWord(3) + LeWord(3) + LeWord(8) + "10.0";  // still being written
  WriteFileBytes(path_, bytes);

  int count = 0;
  bool in_order = true;
  std::string last_name;
  ASSERT_TRUE(ReadBinLogFile(path_, [&](const BinLogRecord& record) {
    if (count < kRecords && (record.time != count || record.value != static_cast<uint32_t>(count) ||
                             record.second != "f" + std::to_string(count))) {
      in_order = false;
    }
    last_name = record.second;
    ++count;
  }));
  EXPECT_EQ(count, kRecords + 1);
  EXPECT_TRUE(in_order);
  EXPECT_EQ(last_name, long_name);
  EXPECT_FALSE(ReadBinLogFile(temp_.File("missing.binlog"), [](const BinLogRecord&) {}));
}

TEST_F(BinaryLogTest, ConcurrentWritersLeaveWholeRecords) {
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([this, t] {
      for (int i = 0; i < 300; ++i) {
        LogConnectionAccepted();
        LogRequestSucceeded("10.0.0." + std::to_string(t));
        LogFileDownloaded("10.0.0." + std::to_string(t), std::string(200, 'a' + t), 1000 + t);
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  std::string bytes = ReadFileBytes(path_);
  std::size_t consumed = 0;
  std::vector<BinLogRecord> records = Parse(bytes, &consumed);
  EXPECT_EQ(consumed, bytes.size());
  ASSERT_EQ(records.size(), 4u * 300u * 3u);
  for (const BinLogRecord& record : records) {
    if (record.type != 8) continue;
    int t = record.first.back() - '0';
    ASSERT_EQ(record.second, std::string(200, 'a' + t));
    ASSERT_EQ(record.value, 1000u + t);
  }
}

}  // namespace
