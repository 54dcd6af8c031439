// Every kind of response leaves the same trail: the access-log line with the
// body bytes sent, the Log page's line and the binary-log records.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "foundation/append_file.h"
#include "foundation/file_system.h"
#include "foundation/settings.h"
#include "orvihttp/logging/binary_log.h"
#include "orvihttp/logging/binary_log_reader.h"
#include "orvihttp/logging/display_queue.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/orvihttp/http/server_fixture.h"
#include "tests/support/test_support.h"

namespace {

// The part of each access-log line after its time stamp; the listener's
// comment lines are left out.
std::vector<std::string> LoggedRequests(const std::string& log) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < log.size()) {
    std::size_t end = log.find("\r\n", start);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(start, end - start);
    start = end + 2;
    if (line.rfind('#', 0) == 0) continue;
    EXPECT_EQ(line.rfind("127.0.0.1 - - [", 0), 0u) << line;
    lines.push_back(line.substr(line.find("] \"") + 2));
  }
  return lines;
}

using ResponseLogging = ServerTest;

TEST_F(ResponseLogging, EachResponseIsLoggedOnceWithTheBodyBytesSent) {
  Publish("/docs/a.txt", "abcdef");
  const std::string accessLog = files_.File("access.log");
  const std::string binlog = files_.File("events.binlog");
  SetBool("Log", true, true);
  SetString("LogPath", accessLog, true);
  SetString("BinLogPath", binlog, false);
  SetBool("AutoLoadIndex", false, true);
  server().logs().display.Clear();
  StartServer();

  HttpTestClient client(port_);
  std::vector<std::size_t> bodies;
  auto ask = [&](const std::string& method, const std::string& path) {
    client.Send(method + " " + path + " HTTP/1.1\r\nHost: t\r\n\r\n");
    const std::string response = client.ReadResponse(method == "HEAD");
    const std::size_t headEnd = response.find("\r\n\r\n");
    EXPECT_NE(headEnd, std::string::npos) << method << " " << path;
    bodies.push_back(response.size() - headEnd - 4);
  };
  ask("GET", "/docs/a.txt");
  ask("HEAD", "/docs/a.txt");
  ask("GET", "/docs/");
  ask("HEAD", "/docs/");
  ask("GET", "/none.txt");
  ask("HEAD", "/none.txt");
  SetBool("DirView", false, true);
  ask("GET", "/docs/");
  ASSERT_TRUE(WaitFor([this] { return server().logs().display.AllLines().size() == 8; }, 2000));
  // A busy thread holds its file lines back until it waits for work, and
  // then writes the access log's before the binary log's.
  const std::vector<BinLogRecord> records = BinLogRecordsOnceThere(binlog, 9);

  const std::size_t listing = bodies[2];
  const std::size_t notFound = bodies[4];
  const std::size_t forbidden = bodies[6];
  EXPECT_GT(listing, 0u);
  EXPECT_EQ(bodies, (std::vector<std::size_t>{6, 0, listing, 0, notFound, 0, forbidden}));
  EXPECT_EQ(LoggedRequests(ReadFileBytes(accessLog)),
            (std::vector<std::string>{
                "\"GET /docs/a.txt HTTP/1.1\" 200 6",
                "\"HEAD /docs/a.txt HTTP/1.1\" 200 0",
                "\"GET /docs/ HTTP/1.1\" 200 " + std::to_string(listing),
                "\"HEAD /docs/ HTTP/1.1\" 200 0",
                "\"GET /none.txt HTTP/1.1\" 404 " + std::to_string(notFound),
                "\"HEAD /none.txt HTTP/1.1\" 404 0",
                "\"GET /docs/ HTTP/1.1\" 403 " + std::to_string(forbidden),
            }));

  // Only a file's body counts as a download; an error is a failed request.
  std::vector<int32_t> types;
  for (const BinLogRecord& record : records) {
    types.push_back(record.type);
    if (record.type == static_cast<int32_t>(BinLogType::FileDownloaded)) {
      EXPECT_EQ(record.second, "a.txt");
      EXPECT_EQ(record.value, 6u);
    }
  }
  EXPECT_EQ(types, (std::vector<int32_t>{0, 3, 8, 3, 3, 3, 4, 4, 4}));

  const std::vector<DisplayLine> lines = server().logs().display.AllLines();
  const std::vector<uint32_t> kinds = {0, 2, 2, 2, 2, 3, 3, 3};
  for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].kind, kinds[i]) << i;
}

// A user deletes the access log and rotates the binary log away while the
// server runs: the server goes on writing, each log into a fresh file at its
// configured path, and a changed path takes effect with the next line.
TEST_F(ResponseLogging, DeletedOrMovedLogsStartAfreshAtTheirPath) {
  Publish("/a.txt", "abc");
  const std::string accessLog = files_.File("access.log");
  const std::string binlog = files_.File("events.binlog");
  const std::string rotated = files_.File("events.binlog.1");
  SetBool("Log", true, true);
  SetString("LogPath", accessLog, true);
  SetString("BinLogPath", binlog, false);
  StartServer();

  HttpTestClient client(port_);
  auto ask = [&](const std::string& path) {
    client.Send("GET " + path + " HTTP/1.1\r\nHost: t\r\n\r\n");
    EXPECT_EQ(BodyOf(client.ReadResponse()), "abc") << path;
  };
  auto types = [](const std::string& path) {
    std::vector<int32_t> found;
    ReadBinLogFile(path, [&](const BinLogRecord& record) { found.push_back(record.type); });
    return found;
  };
  // Lines and records are written just after the response went out, the
  // access-log line first. Waiting for the records keeps this test's reads
  // of the access log out of the way of its reopening: under Wine, a deleted
  // file that a reader still has open stays, and is what the path opens.
  auto logged = [&](const std::string& log, const std::vector<std::string>& lines,
                    const std::string& events, const std::vector<int32_t>& records) {
    return WaitFor([&] { return types(events).size() >= records.size(); }, 2000) &&
           LoggedRequests(ReadFileBytes(log)) == lines && types(events) == records;
  };
  ask("/a.txt?1");
  ASSERT_TRUE(logged(accessLog, {"\"GET /a.txt?1 HTTP/1.1\" 200 3"}, binlog, {0, 3, 8}));

  ASSERT_TRUE(RemoveFile(accessLog));
  ASSERT_TRUE(RenameFile(binlog, rotated));
  std::this_thread::sleep_for(std::chrono::milliseconds(AppendFileNoticeDelayMs() + 100));
  ask("/a.txt?2");
  EXPECT_TRUE(logged(accessLog, {"\"GET /a.txt?2 HTTP/1.1\" 200 3"}, binlog, {3, 8}))
      << ReadFileBytes(accessLog);
  // The rotated file keeps what was written before the move, nothing after.
  EXPECT_EQ(types(rotated), (std::vector<int32_t>{0, 3, 8}));

  const std::string moved = files_.File("elsewhere.log");
  SetString("LogPath", moved, true);
  ask("/a.txt?3");
  EXPECT_TRUE(logged(moved, {"\"GET /a.txt?3 HTTP/1.1\" 200 3"}, binlog, {3, 8, 3, 8}))
      << ReadFileBytes(moved);
  EXPECT_EQ(LoggedRequests(ReadFileBytes(accessLog)).size(), 1u);
}

}  // namespace
