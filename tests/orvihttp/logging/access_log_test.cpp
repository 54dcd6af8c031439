#include "orvihttp/logging/access_log.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <thread>
#include <vector>

#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "orvihttp/logging/log_file.h"
#include "orvihttp/logging/server_logs.h"
#include "tests/support/test_support.h"

namespace {

const char kStamp[] = R"(\[\d\d/[A-Z][a-z]{2}/\d{4}:\d\d:\d\d:\d\d [+-]\d{4}\])";
const char kLocal[] = R"([A-Z][a-z]{2}, \d\d [A-Z][a-z]{2} \d{4} \d\d:\d\d:\d\d)";

class AccessLogTest : public testing::Test {
 protected:
  void SetUp() override {
    DestroySettings();
    log_path_ = temp_.File("OrviHTTP.log");
    SetBool("Log", true, true);
    SetString("LogPath", log_path_, true);
  }
  void TearDown() override {
    DestroySettings();
    CloseLogFiles(logs_);  // so the folder can go
  }

  // The logging calls with the settings as the store holds them now.
  void LogResponse(const std::string& peer, const std::string& line, int status, int64_t bytes) {
    ::LogResponse(logs_, *CurrentServerSettings(), peer, line, status, bytes);
  }
  void LogServerStarted() { ::LogServerStarted(logs_, *CurrentServerSettings()); }
  void LogServerSocketFailed(int port) {
    ::LogServerSocketFailed(logs_, *CurrentServerSettings(), port);
  }
  void AppendAccessLog(const std::string& text) {
    ::AppendAccessLog(logs_, *CurrentServerSettings(), text);
  }
  std::vector<DisplayLine> DisplayLines() { return logs_.display.AllLines(); }

  TempFolder temp_;
  std::string log_path_;
  ServerLogs logs_;
};

TEST(ZoneSuffixTest, WholeHoursWithSignAndPadding) {
  EXPECT_EQ(ZoneSuffix(-60), "+0100]");
  EXPECT_EQ(ZoneSuffix(300), "-0500]");
  EXPECT_EQ(ZoneSuffix(-600), "+1000]");
  EXPECT_EQ(ZoneSuffix(0), "+0000]");
  EXPECT_EQ(ZoneSuffix(-120), "+0200]");
  EXPECT_EQ(ZoneSuffix(600), "-1000]");
  // Minutes of a zone are never shown; the division truncates toward zero.
  EXPECT_EQ(ZoneSuffix(-330), "+0500]");
  EXPECT_EQ(ZoneSuffix(210), "-0300]");
  EXPECT_EQ(ZoneSuffix(30), "+0000]");
}

TEST(TimestampTest, ShapesOfBothStamps) {
  EXPECT_TRUE(std::regex_match(LogTimestamp(), std::regex(kStamp))) << LogTimestamp();
  EXPECT_TRUE(std::regex_match(LocalTimestamp(), std::regex(kLocal))) << LocalTimestamp();
  std::string stamp = LogTimestampAt(1796519729, -120);
  EXPECT_EQ(stamp.substr(stamp.size() - 7), " +0200]");
}

TEST(AccessLogLineTest, CommonLogLayout) {
  EXPECT_EQ(AccessLogLine("10.0.0.1", "GET /a.html HTTP/1.1", 200, 1234, "[S]"),
            "10.0.0.1 - - [S] \"GET /a.html HTTP/1.1\" 200 1234\r\n");
  EXPECT_EQ(AccessLogLine("10.0.0.1", "", 400, 55, "[S]"),
            "10.0.0.1 - - [S] \"Faulty request\" 400 55\r\n");
  // Sizes past 2 GiB are logged as they are, not wrapped to negative.
  EXPECT_EQ(AccessLogLine("", "GET /big HTTP/1.0", 200, 5000000000LL, "[S]"),
            " - - [S] \"GET /big HTTP/1.0\" 200 5000000000\r\n");
}

TEST_F(AccessLogTest, ResponsesAreAppendedAndPosted) {
  LogResponse("10.0.0.1", "GET /a.html HTTP/1.1", 200, 10);
  LogResponse("10.0.0.2", "HEAD /a.html HTTP/1.1", 200, 0);
  LogResponse("10.0.0.3", "", 400, 99);
  LogResponse("10.0.0.4", "GET /missing HTTP/1.0", 404, 120);

  std::string text = ReadFileBytes(log_path_);
  std::string stamp = kStamp;
  std::regex expected("10\\.0\\.0\\.1 - - " + stamp +
                      " \"GET /a\\.html HTTP/1\\.1\" 200 10\r\n"
                      "10\\.0\\.0\\.2 - - " +
                      stamp +
                      " \"HEAD /a\\.html HTTP/1\\.1\" 200 0\r\n"
                      "10\\.0\\.0\\.3 - - " +
                      stamp +
                      " \"Faulty request\" 400 99\r\n"
                      "10\\.0\\.0\\.4 - - " +
                      stamp + " \"GET /missing HTTP/1\\.0\" 404 120\r\n");
  EXPECT_TRUE(std::regex_match(text, expected)) << text;

  std::vector<DisplayLine> lines = DisplayLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].kind, 2u);
  EXPECT_TRUE(std::regex_match(
      lines[0].text,
      std::regex(std::string(kLocal) + " - 10\\.0\\.0\\.1 - GET /a\\.html HTTP/1\\.1")))
      << lines[0].text;
  EXPECT_EQ(lines[1].kind, 2u);
  EXPECT_EQ(lines[2].kind, 3u);
  // An empty request line leaves the display text ending in " - ".
  EXPECT_EQ(lines[2].text.substr(lines[2].text.size() - 14), " - 10.0.0.3 - ");
  EXPECT_EQ(lines[3].kind, 3u);
}

TEST_F(AccessLogTest, ClientBytesCannotForgeLinesOrReachTheTerminal) {
  const std::string forged = std::string("GET /a\r\n10.0.0.9 - - \"x\\y\x1B[2J\x7F") +
                             std::string(1, '\0') + "\xE9 HTTP/1.1";
  const std::string shown =
      "GET /a\\x0D\\x0A10.0.0.9 - - \\x22x\\x5Cy\\x1B[2J\\x7F\\x00\xE9 HTTP/1.1";
  EXPECT_EQ(AccessLogLine("10.0.0.1", forged, 404, 7, "[S]"),
            "10.0.0.1 - - [S] \"" + shown + "\" 404 7\r\n");

  LogResponse("10.0.0.1", forged, 404, 7);
  const std::string text = ReadFileBytes(log_path_);
  EXPECT_EQ(text.find("\r\n"), text.size() - 2) << text;
  EXPECT_NE(text.find("\"" + shown + "\" 404 7\r\n"), std::string::npos) << text;
  std::vector<DisplayLine> lines = DisplayLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text.substr(lines[0].text.size() - shown.size() - 14),
            " - 10.0.0.1 - " + shown);
}

TEST_F(AccessLogTest, LogOffWritesNoFileButStillPosts) {
  SetBool("Log", false, true);
  LogResponse("10.0.0.1", "GET / HTTP/1.1", 200, 5);
  LogServerStarted();
  LogServerSocketFailed(80);
  AppendAccessLog("direct\r\n");
  EXPECT_FALSE(IsFile(log_path_));
  std::vector<DisplayLine> lines = DisplayLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].kind, 2u);
  EXPECT_EQ(lines[1].kind, 0u);
  EXPECT_EQ(lines[2].kind, 0u);
}

TEST_F(AccessLogTest, EmptyOrUnwritablePathLosesTheLineOnly) {
  SetString("LogPath", "", true);
  LogResponse("10.0.0.1", "GET / HTTP/1.1", 200, 5);
  SetString("LogPath", JoinPath(temp_.File("no such folder"), "x.log"), true);
  LogResponse("10.0.0.1", "GET / HTTP/1.1", 200, 5);
  EXPECT_FALSE(IsFile(temp_.File("no such folder")));
  EXPECT_EQ(DisplayLines().size(), 2u);
}

TEST_F(AccessLogTest, ListenerEventLines) {
  LogServerStarted();
  LogServerSocketFailed(8080);
  std::string text = ReadFileBytes(log_path_);
  std::regex expected("#\r\n# Started Orvi HTTP Server " + std::string(kStamp) +
                      "\r\n#\r\n"
                      "# Could not initialise server socket at port 8080 " +
                      kStamp + "\r\n");
  EXPECT_TRUE(std::regex_match(text, expected)) << text;
  std::vector<DisplayLine> lines = DisplayLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(std::regex_match(lines[0].text,
                               std::regex(std::string(kLocal) + " --- Started Orvi HTTP Server")))
      << lines[0].text;
  EXPECT_TRUE(std::regex_match(
      lines[1].text,
      std::regex(std::string(kLocal) + " --- Could not initialise server socket at port 8080")))
      << lines[1].text;
}

TEST_F(AccessLogTest, ConcurrentWritersNeverInterleave) {
  constexpr int kThreads = 4;
  constexpr int kLines = 200;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([this, t] {
      std::string request = "GET /" + std::string(300, static_cast<char>('a' + t)) + " HTTP/1.1";
      for (int i = 0; i < kLines; ++i) LogResponse("10.0.0." + std::to_string(t), request, 200, i);
    });
  }
  for (std::thread& writer : writers) writer.join();
  std::string text = ReadFileBytes(log_path_);
  std::regex line(R"(10\.0\.0\.(\d) - - )" + std::string(kStamp) +
                  R"( "GET /([a-d])\2{299} HTTP/1\.1" 200 \d+)");
  std::size_t count = 0;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    std::smatch match;
    std::string one = text.substr(start, end - start);
    ASSERT_TRUE(std::regex_match(one, match, line)) << one.substr(0, 80);
    EXPECT_EQ(match[1].str()[0] - '0', match[2].str()[0] - 'a');
    ++count;
  }
  EXPECT_EQ(start, text.size());
  EXPECT_EQ(count, static_cast<std::size_t>(kThreads * kLines));
}

}  // namespace
