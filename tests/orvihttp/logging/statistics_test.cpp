#include "orvihttp/logging/statistics.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "orvihttp/logging/binary_log.h"
#include "orvihttp/logging/byte_size_text.h"
#include "orvihttp/logging/stats_period.h"
#include "tests/support/test_support.h"

namespace {

// Local noon (or the given hour) of a calendar day, with its weekday filled in.
std::tm Day(int year, int month, int day, int hour = 12) {
  std::tm value{};
  value.tm_year = year - 1900;
  value.tm_mon = month - 1;
  value.tm_mday = day;
  value.tm_hour = hour;
  value.tm_isdst = -1;
  std::mktime(&value);
  return value;
}

int32_t At(int year, int month, int day, int hour = 12) {
  std::tm value = Day(year, month, day, hour);
  return static_cast<int32_t>(std::mktime(&value));
}

std::string Record(int32_t time, BinLogType type, const std::string& name = "", uint32_t size = 0) {
  return EncodeBinLogRecord(time, static_cast<int32_t>(type), "10.0.0.7", name, size);
}

TEST(StatsPeriodTest, ThisWeekReachesBackIntoTheMonthBefore) {
  // Wednesday 3 March 2021, after a 28-day February.
  std::tm now = Day(2021, 3, 3);
  ASSERT_EQ(now.tm_wday, 3);
  EXPECT_TRUE(InStatsPeriod(kStatsThisWeek, now, Day(2021, 2, 28)));
  for (int day = 1; day <= 3; ++day)
    EXPECT_TRUE(InStatsPeriod(kStatsThisWeek, now, Day(2021, 3, day)));
  for (int day = 25; day <= 27; ++day) {
    EXPECT_FALSE(InStatsPeriod(kStatsThisWeek, now, Day(2021, 2, day))) << day;
  }
  EXPECT_FALSE(InStatsPeriod(kStatsThisWeek, now, Day(2020, 2, 28)));

  // Saturday 2 March 2024: February had 29 days, so the week began on
  // Sunday 25 February and Saturday 24 February is the week before.
  now = Day(2024, 3, 2);
  ASSERT_EQ(now.tm_wday, 6);
  EXPECT_FALSE(InStatsPeriod(kStatsThisWeek, now, Day(2024, 2, 24)));
  for (int day = 25; day <= 29; ++day)
    EXPECT_TRUE(InStatsPeriod(kStatsThisWeek, now, Day(2024, 2, day)));

  // Tuesday 2 January 2024 reaches back to Sunday 31 December 2023.
  now = Day(2024, 1, 2);
  EXPECT_TRUE(InStatsPeriod(kStatsThisWeek, now, Day(2023, 12, 31)));
  EXPECT_FALSE(InStatsPeriod(kStatsThisWeek, now, Day(2023, 12, 30)));

  // On Monday 8 March 2021 only Sunday 7 and Monday 8 count.
  now = Day(2021, 3, 8);
  for (int day = 1; day <= 8; ++day) {
    EXPECT_EQ(InStatsPeriod(kStatsThisWeek, now, Day(2021, 3, day)), day >= 7) << day;
  }
  EXPECT_FALSE(InStatsPeriod(kStatsThisWeek, now, Day(2021, 2, 28)));
}

TEST(StatsPeriodTest, TodayMonthTotalAndNoSelection) {
  std::tm now = Day(2023, 6, 15, 9);
  EXPECT_TRUE(InStatsPeriod(kStatsToday, now, Day(2023, 6, 15, 23)));
  EXPECT_FALSE(InStatsPeriod(kStatsToday, now, Day(2023, 6, 14)));
  EXPECT_FALSE(InStatsPeriod(kStatsToday, now, Day(2022, 6, 15)));
  EXPECT_TRUE(InStatsPeriod(kStatsThisMonth, now, Day(2023, 6, 1)));
  EXPECT_FALSE(InStatsPeriod(kStatsThisMonth, now, Day(2023, 5, 31)));
  EXPECT_FALSE(InStatsPeriod(kStatsThisMonth, now, Day(2022, 6, 15)));
  EXPECT_TRUE(InStatsPeriod(kStatsTotal, now, Day(1999, 1, 1)));
  EXPECT_FALSE(InStatsPeriod(-1, now, Day(2023, 6, 15)));
  EXPECT_EQ(DaysInMonth(2000 - 1900, 1), 29);
  EXPECT_EQ(DaysInMonth(1900 - 1900, 1), 28);
  EXPECT_EQ(DaysInMonth(2023 - 1900, 1), 28);
  EXPECT_EQ(DaysInMonth(2023 - 1900, 10), 30);
  EXPECT_STREQ(StatsPeriodText(2), "This week");
}

TEST(ByteSizeTextTest, UnitsAndRounding) {
  EXPECT_EQ(FormatByteSize(0), "0.00 KB");
  EXPECT_EQ(FormatByteSize(1536), "1.50 KB");
  EXPECT_EQ(FormatByteSize(1048575), "1024.00 KB");
  EXPECT_EQ(FormatByteSize(1048576), "1.00 MB");
  EXPECT_EQ(FormatByteSize(1073741823), "1024.00 MB");
  EXPECT_EQ(FormatByteSize(1073741824), "1.00 GB");
  EXPECT_EQ(FormatByteSize(0xFFFFFFFFu), "4.00 GB");
}

class StatisticsTest : public testing::Test {
 protected:
  void Write(const std::string& bytes) { ASSERT_TRUE(WriteFileBytes(path_, bytes)); }
  void Append(const std::string& bytes) {
    ASSERT_TRUE(WriteFileBytes(path_, ReadFileBytes(path_) + bytes));
  }
  static std::string ReadFileBytes(const std::string& path) {
    std::string bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    std::fclose(file);
    return bytes;
  }

  TempFolder temp_;
  std::string path_ = temp_.File("OrviHTTP.binlog");
  std::time_t now_ = At(2021, 3, 3, 15);
  StatsAggregation stats_;
};

TEST_F(StatisticsTest, CountsEachPeriodAndListsFilesNewestLast) {
  std::string log;
  for (int32_t time : {At(2021, 2, 20), At(2021, 2, 28), At(2021, 3, 3, 8)}) {
    log += Record(time, BinLogType::ConnectionAccepted);
    log += Record(time, BinLogType::RequestSucceeded);  // a GET ...
    log += Record(time, BinLogType::FileDownloaded, "/f" + std::to_string(time), 1536);
    log += Record(time, BinLogType::RequestSucceeded);  // ... and a HEAD
    log += Record(time, BinLogType::RequestFailed);
  }
  log += Record(At(2021, 3, 3, 9), BinLogType::FileUploaded, "/up.bin", 99);
  Write(log);

  struct Expected {
    int period;
    uint32_t files;
  };
  for (Expected expected : {Expected{kStatsTotal, 3}, Expected{kStatsThisMonth, 1},
                            Expected{kStatsThisWeek, 2}, Expected{kStatsToday, 1}}) {
    EXPECT_TRUE(stats_.Refresh(expected.period, path_, now_));
    const StatsCounters& counters = stats_.counters();
    EXPECT_EQ(counters.connections, expected.files) << expected.period;
    EXPECT_EQ(counters.successfulRequests, 2 * expected.files);
    EXPECT_EQ(counters.failedRequests, expected.files);
    EXPECT_EQ(counters.filesSent, expected.files);
    EXPECT_EQ(counters.bytesDownloaded, 1536 * expected.files);
    // The upload is a row, but neither a file sent nor bytes downloaded.
    ASSERT_EQ(stats_.rows().size(), expected.files + 1);
    EXPECT_TRUE(stats_.rows().back().upload);
  }
  EXPECT_EQ(stats_.rows()[0].name, "/f" + std::to_string(At(2021, 3, 3, 8)));

  std::array<std::string, 5> texts = TransferRowTexts(stats_.rows()[0]);
  EXPECT_EQ(texts[0], "Download");
  EXPECT_EQ(texts[1], "10.0.0.7");
  EXPECT_EQ(texts[3], "1.50 KB");
  EXPECT_EQ(texts[4], "Wed, 03 Mar 2021 08:00:00");
  texts = TransferRowTexts(stats_.rows()[1]);
  EXPECT_EQ(texts[0], "Upload");
  EXPECT_EQ(texts[3] + texts[4], "");

  // A selection that is no period (text typed into the box) counts nothing.
  EXPECT_TRUE(stats_.Refresh(-1, path_, now_));
  EXPECT_EQ(stats_.counters().successfulRequests, 0u);
  EXPECT_TRUE(stats_.rows().empty());
}

TEST_F(StatisticsTest, ReadsOnlyWhatWasAppendedAndWaitsForACutRecord) {
  std::string first = Record(At(2021, 3, 1), BinLogType::ConnectionAccepted) +
                      Record(At(2021, 3, 1), BinLogType::FileDownloaded, "/a", 10);
  std::string cut = Record(At(2021, 3, 2), BinLogType::FileDownloaded, "/b", 20);
  Write(first + cut.substr(0, cut.size() - 3));
  EXPECT_TRUE(stats_.Refresh(kStatsTotal, path_, now_));
  EXPECT_EQ(stats_.offset(), first.size());
  EXPECT_EQ(stats_.counters().filesSent, 1u);

  Append(cut.substr(cut.size() - 3));
  EXPECT_FALSE(stats_.Refresh(kStatsTotal, path_, now_));
  EXPECT_EQ(stats_.counters().filesSent, 2u);
  EXPECT_EQ(stats_.counters().bytesDownloaded, 30u);
  EXPECT_EQ(stats_.counters().connections, 1u);
  ASSERT_EQ(stats_.rows().size(), 2u);
  EXPECT_EQ(stats_.rows()[1].name, "/b");

  // Nothing new: nothing changes.
  EXPECT_FALSE(stats_.Refresh(kStatsTotal, path_, now_));
  EXPECT_EQ(stats_.counters().filesSent, 2u);

  // Switching away and back starts over from the start of the file.
  stats_.Refresh(kStatsToday, path_, now_);
  EXPECT_EQ(stats_.counters().filesSent, 0u);
  EXPECT_TRUE(stats_.Refresh(kStatsTotal, path_, now_));
  EXPECT_EQ(stats_.counters().filesSent, 2u);
  EXPECT_EQ(stats_.rows().size(), 2u);
}

TEST_F(StatisticsTest, CountersWrapAt32Bits) {
  Write(Record(At(2021, 3, 1), BinLogType::FileDownloaded, "/big", 0xFFFFFFFFu) +
        Record(At(2021, 3, 1), BinLogType::FileDownloaded, "/big", 0xFFFFFFFFu) +
        Record(At(2021, 3, 1), BinLogType::FileDownloaded, "/small", 3));
  stats_.Refresh(kStatsTotal, path_, now_);
  EXPECT_EQ(stats_.counters().bytesDownloaded, 1u);
  EXPECT_EQ(stats_.counters().filesSent, 3u);
}

TEST_F(StatisticsTest, ALogCutShorterOrReplacedIsReadAgainFromItsStart) {
  std::string two = Record(At(2021, 3, 1), BinLogType::RequestSucceeded) +
                    Record(At(2021, 3, 1), BinLogType::RequestSucceeded);
  Write(two + two);
  stats_.Refresh(kStatsTotal, path_, now_);
  EXPECT_EQ(stats_.counters().successfulRequests, 4u);

  Write(two);  // cut shorter than what was read
  EXPECT_TRUE(stats_.Refresh(kStatsTotal, path_, now_));
  EXPECT_EQ(stats_.counters().successfulRequests, 2u);

  // Replaced by another log that is as long again: its start differs.
  Write(Record(At(2021, 3, 2), BinLogType::RequestFailed) +
        Record(At(2021, 3, 2), BinLogType::RequestFailed) + two);
  EXPECT_TRUE(stats_.Refresh(kStatsTotal, path_, now_));
  EXPECT_EQ(stats_.counters().failedRequests, 2u);
  EXPECT_EQ(stats_.counters().successfulRequests, 2u);

  // A missing file keeps the figures as they stand.
  std::remove(path_.c_str());
  EXPECT_FALSE(stats_.Refresh(kStatsTotal, path_, now_));
  EXPECT_EQ(stats_.counters().failedRequests, 2u);
}

TEST_F(StatisticsTest, ATornRecordInTheMiddleHidesNoLaterRecord) {
  int32_t time = At(2021, 3, 1);
  std::string torn = Record(time, BinLogType::FileDownloaded, "/torn.html", 5);
  int whole = 0;
  // Each way a writer may have died inside its record. Without a checksum a
  // tear can swallow the start of the record after it, never more.
  for (std::size_t cut = 1; cut < torn.size(); ++cut) {
    std::string log = Record(time, BinLogType::FileDownloaded, "/first", 1) + torn.substr(0, cut) +
                      Record(time, BinLogType::ConnectionAccepted) +
                      Record(time, BinLogType::FileDownloaded, "/after", 2) +
                      Record(time, BinLogType::FileDownloaded, "/last", 4) +
                      Record(time, BinLogType::RequestFailed);
    Write(log);
    StatsAggregation stats;
    stats.Refresh(kStatsTotal, path_, now_);
    const std::vector<TransferRow>& rows = stats.rows();
    ASSERT_GE(rows.size(), 2u) << cut << " " << (rows.empty() ? "" : rows[0].name);
    EXPECT_EQ(rows.front().name, "/first") << cut;
    EXPECT_EQ(rows.back().name, "/last") << cut;
    EXPECT_EQ(stats.counters().failedRequests, 1u) << cut;
    EXPECT_EQ(stats.offset(), log.size()) << cut;
    if (rows.size() == 3 && rows[1].name == "/after" && stats.counters().connections == 1) ++whole;
  }
  // Most tears are plain damage, and every other record is read.
  EXPECT_GT(whole, static_cast<int>(torn.size()) / 2);
}

}  // namespace
