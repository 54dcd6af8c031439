// Parts of files and revalidation, as browsers, players and download
// managers ask for them: what goes over the wire and what the logs record.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "foundation/setting_key.h"
#include "foundation/settings.h"
#include "orvihttp/config/server_keys.h"
#include "orvihttp/content/http_date.h"
#include "orvihttp/http/client_registry.h"
#include "orvihttp/logging/binary_log.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/orvihttp/http/server_fixture.h"
#include "tests/support/test_support.h"

namespace {

std::string Pattern(std::size_t size) {
  std::string content(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    content[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
  return content;
}

// The value of header `name` in a response's header block, "" when absent.
std::string HeaderOf(const std::string& response, const std::string& name) {
  const std::string head = response.substr(0, response.find("\r\n\r\n") + 2);
  const std::size_t at = head.find("\r\n" + name + ": ");
  if (at == std::string::npos) return "";
  const std::size_t start = at + name.size() + 4;
  return head.substr(start, head.find("\r\n", start) - start);
}

// Status and body size of each access-log line, without address and time.
std::vector<std::string> LoggedOutcomes(const std::string& log) {
  std::vector<std::string> outcomes;
  std::size_t start = 0;
  while (start < log.size()) {
    std::size_t end = log.find("\r\n", start);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(start, end - start);
    start = end + 2;
    if (line.rfind('#', 0) != 0) outcomes.push_back(line.substr(line.rfind("\" ") + 2));
  }
  return outcomes;
}

struct Exchanged {
  std::string response;
  std::string status;
  std::string body;
};

class Ranges : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    SetBool("Log", true, true);
    SetString("LogPath", accessLog_, true);
    SetString("BinLogPath", binlog_, false);
  }

  // One GET (or `method`) of `path` with extra header lines on the shared
  // connection.
  Exchanged Ask(const std::string& headers, const std::string& path = "/v/movie.webm",
                const std::string& method = "GET") {
    client_.Send(method + " " + path + " HTTP/1.1\r\nHost: t\r\n" + headers + "\r\n");
    Exchanged result;
    result.response = client_.ReadResponse(method == "HEAD");
    result.status = result.response.substr(0, result.response.find("\r\n"));
    result.body = BodyOf(result.response);
    return result;
  }

  // The downloaded sizes the binary log recorded, and how many requests it
  // counted as failed, once it holds the outcome of `requests` requests (its
  // records may go out just after the access log's lines).
  void BinaryLogTotals(std::size_t requests, std::vector<uint32_t>* downloads, int* failed) {
    auto isOutcome = [](const BinLogRecord& record) {
      return record.type == static_cast<int32_t>(BinLogType::RequestSucceeded) ||
             record.type == static_cast<int32_t>(BinLogType::RequestFailed);
    };
    for (const BinLogRecord& record : BinLogRecordsOnceThere(binlog_, requests, isOutcome)) {
      if (record.type == static_cast<int32_t>(BinLogType::FileDownloaded)) {
        EXPECT_EQ(record.second, "movie.webm");
        downloads->push_back(record.value);
      }
      if (record.type == static_cast<int32_t>(BinLogType::RequestFailed)) ++*failed;
    }
  }

  const std::string accessLog_ = files_.File("access.log");
  const std::string binlog_ = files_.File("events.binlog");
  HttpTestClient client_;
};

TEST_F(Ranges, EachRangeFormGetsItsPartAndTheLogsCountWhatWasSent) {
  const std::string content = Pattern(1000);
  Publish("/v/movie.webm", content);
  StartServer();
  ASSERT_TRUE(client_.Connect(port_));

  struct Case {
    std::string headers;
    std::string status;
    std::string contentRange;
    std::string body;
  };
  const std::string lastModified = std::string("If-Range: ") + kFileTimeText + "\r\n";
  const std::vector<Case> cases = {
      {"Range: bytes=10-19\r\n", "HTTP/1.1 206", "bytes 10-19/1000", content.substr(10, 10)},
      {"range: bytes=990-\r\n", "HTTP/1.1 206", "bytes 990-999/1000", content.substr(990)},
      {"RANGE:bytes=-5\r\n", "HTTP/1.1 206", "bytes 995-999/1000", content.substr(995)},
      // The end of a range may lie past the end of the file.
      {"Range: bytes=500-5000\r\n", "HTTP/1.1 206", "bytes 500-999/1000", content.substr(500)},
      // More last bytes than the file has: all of them, still as a part.
      {"Range: bytes=-4000\r\n", "HTTP/1.1 206", "bytes 0-999/1000", content},
      {"Range: bytes=1000-\r\n", "HTTP/1.1 416", "bytes */1000", "416 Range not satisfiable"},
      {"Range: bytes=0-0\r\n" + lastModified, "HTTP/1.1 206", "bytes 0-0/1000",
       content.substr(0, 1)},
      {"if-range: Tue, 14 Nov 2023 22:13:21 GMT\r\nRange: bytes=0-0\r\n", "HTTP/1.1 200", "",
       content},
      {"If-Range: \"an-entity-tag\"\r\nRange: bytes=0-0\r\n", "HTTP/1.1 200", "", content},
      // Malformed, several ranges, another unit: the whole file.
      {"Range: bytes=20-10\r\n", "HTTP/1.1 200", "", content},
      {"Range: bytes=1-x\r\n", "HTTP/1.1 200", "", content},
      {"Range: bytes=0-1,5-6\r\n", "HTTP/1.1 200", "", content},
      {"Range: lines=0-1\r\n", "HTTP/1.1 200", "", content},
      {"", "HTTP/1.1 200", "", content},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.headers);
    const Exchanged got = Ask(c.headers);
    EXPECT_EQ(got.status, c.status);
    EXPECT_EQ(HeaderOf(got.response, "Content-Range"), c.contentRange);
    EXPECT_EQ(ContentLengthOf(got.response), static_cast<int64_t>(c.body.size()));
    EXPECT_TRUE(got.body == c.body) << got.body.size();
    const bool isFile = c.status != "HTTP/1.1 416";
    // Only an answer to a Range header says that parts are served (every
    // case but the last sends one).
    const bool askedForPart = !c.headers.empty();
    EXPECT_EQ(HeaderOf(got.response, "Accept-Ranges"), isFile && askedForPart ? "bytes" : "");
    EXPECT_EQ(HeaderOf(got.response, "Last-Modified"), isFile ? kFileTimeText : "");
  }
  // Range is for GET only: a HEAD reports the whole file.
  const Exchanged head = Ask("Range: bytes=0-9\r\n", "/v/movie.webm", "HEAD");
  EXPECT_EQ(head.status, "HTTP/1.1 200");
  EXPECT_EQ(ContentLengthOf(head.response), 1000);

  // A listing is no file: it ignores the header.
  EXPECT_EQ(Ask("Range: bytes=0-9\r\n", "/v/").status, "HTTP/1.1 200");
  // The connection is still in step after all of these.
  EXPECT_EQ(Ask("Range: bytes=1-2\r\n").body, content.substr(1, 2));

  ASSERT_TRUE(
      WaitFor([&] { return LoggedOutcomes(ReadFileBytes(accessLog_)).size() == 17; }, 2000));
  std::vector<std::string> expected;
  std::vector<uint32_t> expectedDownloads;
  for (const Case& c : cases) {
    const bool refused = c.status == "HTTP/1.1 416";
    expected.push_back(c.status.substr(9) + " " + std::to_string(c.body.size()));
    if (!refused) expectedDownloads.push_back(static_cast<uint32_t>(c.body.size()));
  }
  expected.push_back("200 0");
  const std::vector<std::string> logged = LoggedOutcomes(ReadFileBytes(accessLog_));
  EXPECT_EQ(std::vector<std::string>(logged.begin(), logged.begin() + 15), expected);
  EXPECT_EQ(logged[15].substr(0, 4), "200 ");
  EXPECT_EQ(logged[16], "206 2");
  expectedDownloads.push_back(2);

  std::vector<uint32_t> downloads;
  int failed = 0;
  BinaryLogTotals(17, &downloads, &failed);
  EXPECT_EQ(downloads, expectedDownloads);
  EXPECT_EQ(failed, 1);
}

// Browsers that resume a paused download only when a whole file said
// "Accept-Ranges: bytes" get it with the setting on, at once (it is read per
// request); a part says it either way.
TEST_F(Ranges, WholeFilesAdvertiseRangesOnlyWhenTheSettingSaysSo) {
  const std::string content = Pattern(100);
  Publish("/v/movie.webm", content);
  StartServer();
  ASSERT_TRUE(client_.Connect(port_));
  const std::string whole =
      std::string("Content-Length: 100\r\nLast-Modified: ") + kFileTimeText + "\r\n";
  const std::string part = "Content-Length: 10\r\nLast-Modified: " + std::string(kFileTimeText) +
                           "\r\nAccept-Ranges: bytes\r\nContent-Range: bytes 0-9/100\r\n";
  for (const bool advertise : {false, true}) {
    SCOPED_TRACE(advertise ? "AdvertiseRanges = Yes" : "AdvertiseRanges = No");
    SetSetting(kAdvertiseRanges, advertise);
    const std::string tail = advertise ? "Accept-Ranges: bytes\r\n\r\n" : "\r\n";
    const Exchanged plain = Ask("");
    EXPECT_EQ(plain.status, "HTTP/1.1 200");
    EXPECT_TRUE(plain.response.find(whole + tail) != std::string::npos) << plain.response;
    EXPECT_EQ(HeaderOf(plain.response, "Accept-Ranges"), advertise ? "bytes" : "");
    EXPECT_TRUE(plain.body == content);
    const Exchanged head = Ask("", "/v/movie.webm", "HEAD");
    EXPECT_TRUE(head.response.find(whole + tail) != std::string::npos) << head.response;
    const Exchanged ranged = Ask("Range: bytes=0-9\r\n");
    EXPECT_EQ(ranged.status, "HTTP/1.1 206");
    EXPECT_TRUE(ranged.response.find(part + "\r\n") != std::string::npos) << ranged.response;
    EXPECT_EQ(ranged.body, content.substr(0, 10));
    // Neither a listing nor an error page is a file.
    EXPECT_EQ(HeaderOf(Ask("", "/v/").response, "Accept-Ranges"), "");
    EXPECT_EQ(HeaderOf(Ask("", "/v/none").response, "Accept-Ranges"), "");
  }
}

TEST_F(Ranges, UnchangedFileIsNotSentAgainUntilItIsRewritten) {
  const std::string realPath = Publish("/v/movie.webm", "first version");
  StartServer();
  ASSERT_TRUE(client_.Connect(port_));

  const std::string since = "If-Modified-Since: ";
  Exchanged same = Ask(since + kFileTimeText + "\r\n");
  EXPECT_EQ(same.status, "HTTP/1.1 304");
  EXPECT_EQ(same.body, "");
  EXPECT_EQ(HeaderOf(same.response, "Content-Length"), "");
  EXPECT_EQ(HeaderOf(same.response, "Last-Modified"), kFileTimeText);
  // A later date, the other two date forms, a lower-case name, a HEAD, and
  // a Range that the answer overrides.
  EXPECT_EQ(Ask(since + FormatHttpDate(kFileTime + 3600) + "\r\n").status, "HTTP/1.1 304");
  EXPECT_EQ(Ask(since + "Tuesday, 14-Nov-23 22:13:20 GMT\r\n").status, "HTTP/1.1 304");
  EXPECT_EQ(Ask("if-modified-since: Tue Nov 14 22:13:20 2023\r\n").status, "HTTP/1.1 304");
  EXPECT_EQ(Ask(since + kFileTimeText + "\r\n", "/v/movie.webm", "HEAD").status, "HTTP/1.1 304");
  EXPECT_EQ(Ask(since + kFileTimeText + "\r\nRange: bytes=0-1\r\n").status, "HTTP/1.1 304");

  // An earlier date or one the server cannot read: the file as today.
  EXPECT_EQ(Ask(since + FormatHttpDate(kFileTime - 1) + "\r\n").body, "first version");
  EXPECT_EQ(Ask(since + "yesterday\r\n").body, "first version");
  EXPECT_EQ(Ask(since + "Tue, 31 Nov 2023 22:13:20 GMT\r\n").body, "first version");

  // Rewritten a second later, the file goes out again in full.
  WriteFileBytes(realPath, "second version");
  using namespace std::chrono;
  std::filesystem::last_write_time(realPath,
                                   file_clock::from_sys(sys_seconds{seconds{kFileTime + 1}}));
  const Exchanged changed = Ask(since + kFileTimeText + "\r\n");
  EXPECT_EQ(changed.status, "HTTP/1.1 200");
  EXPECT_EQ(changed.body, "second version");
  EXPECT_EQ(HeaderOf(changed.response, "Last-Modified"), FormatHttpDate(kFileTime + 1));

  ASSERT_TRUE(
      WaitFor([&] { return LoggedOutcomes(ReadFileBytes(accessLog_)).size() == 10; }, 2000));
  EXPECT_EQ(LoggedOutcomes(ReadFileBytes(accessLog_)),
            (std::vector<std::string>{"304 0", "304 0", "304 0", "304 0", "304 0", "304 0",
                                      "200 13", "200 13", "200 13", "200 14"}));
  // A 304 is a successful request with nothing downloaded.
  std::vector<uint32_t> downloads;
  int failed = 0;
  BinaryLogTotals(10, &downloads, &failed);
  EXPECT_EQ(downloads, (std::vector<uint32_t>{13, 13, 13, 14}));
  EXPECT_EQ(failed, 0);
}

// Small files are answered from memory, but only while the path still shows
// the file they were read from: one put in its place with the same size and
// date, or one that a writer has cut short, goes out as it is now.
TEST_F(Ranges, AFileReplacedUnderTheSameSizeAndDateGoesOutAsItIsNow) {
  const std::string realPath = Publish("/v/movie.webm", "first version");
  StartServer();
  ASSERT_TRUE(client_.Connect(port_));
  EXPECT_EQ(Ask("").body, "first version");
  EXPECT_EQ(Ask("Range: bytes=6-12\r\n").body, "version");

  const std::string replacement = files_.File("replacement");
  WriteFileBytes(replacement, "other version");
  using namespace std::chrono;
  std::filesystem::last_write_time(replacement,
                                   file_clock::from_sys(sys_seconds{seconds{kFileTime}}));
  std::filesystem::rename(replacement, realPath);
  const Exchanged replaced = Ask("");
  EXPECT_EQ(replaced.body, "other version");
  EXPECT_EQ(HeaderOf(replaced.response, "Last-Modified"), kFileTimeText);

  std::filesystem::resize_file(realPath, 5);
  std::filesystem::last_write_time(realPath, file_clock::from_sys(sys_seconds{seconds{kFileTime}}));
  EXPECT_EQ(Ask("").body, "other");
  std::filesystem::remove(realPath);
  EXPECT_EQ(Ask("").status, "HTTP/1.1 404");
}

// A small file is trusted without a look at the disk while its folder
// reports no change; the answer right after any change is the file as it
// is now: written over in place, replaced by a rename, or its folder moved
// away and another put in its place.
TEST_F(Ranges, EveryChangeToAServedFileShowsInTheNextAnswer) {
  const std::filesystem::path folder = files_.File("shared");
  std::filesystem::create_directory(folder);
  const std::string realPath = (folder / "page.txt").string();
  auto write = [&](const std::string& path, const std::string& text) {
    WriteFileBytes(path, text);
    // Same size and date each time: only the watch or the change time tells.
    using namespace std::chrono;
    std::filesystem::last_write_time(path, file_clock::from_sys(sys_seconds{seconds{kFileTime}}));
  };
  write(realPath, "version 00");
  ASSERT_TRUE(server().directory().AddFile("/", "page.txt", realPath));
  StartServer();
  ASSERT_TRUE(client_.Connect(port_));
  std::string expected = "version 00";
  for (int round = 1; round <= 30; ++round) {
    for (int again = 0; again < 3; ++again) ASSERT_EQ(Ask("", "/page.txt").body, expected);
    expected = "version " + std::string(round < 10 ? "0" : "") + std::to_string(round);
    if (round % 2 == 0) {
      write(realPath, expected);
    } else {
      const std::string next = (folder / "next").string();
      write(next, expected);
      std::filesystem::rename(next, realPath);
    }
    ASSERT_EQ(Ask("", "/page.txt").body, expected) << "round " << round;
  }
  std::filesystem::rename(folder, files_.File("moved"));
  std::filesystem::create_directory(folder);
  write(realPath, "another 00");
  EXPECT_EQ(Ask("", "/page.txt").body, "another 00");
  for (int again = 0; again < 3; ++again) EXPECT_EQ(Ask("", "/page.txt").body, "another 00");
  write(realPath, "another 01");
  EXPECT_EQ(Ask("", "/page.txt").body, "another 01");
}

// While a file is replaced again and again under readers, each answer is one
// whole version, never a mix, and once the writer stops the last one is what
// every reader gets.
TEST_F(Ranges, ReadersOfAFileReplacedUnderThemGetWholeVersions) {
  const std::size_t size = 8 * 1024;
  const std::string realPath = Publish("/v/movie.webm", std::string(size, 'a'));
  StartServer();
  std::atomic<bool> writing{true};
  std::thread writer([&] {
    const std::string next = files_.File("next");
    for (int round = 0; writing; ++round) {
      WriteFileBytes(next, std::string(size, static_cast<char>('a' + round % 3)));
      std::error_code ignored;  // Windows refuses while a reader holds the file
      std::filesystem::rename(next, realPath, ignored);
    }
  });
  std::vector<std::thread> readers;
  std::atomic<int> answered{0};
  for (int i = 0; i < 4; ++i) {
    readers.emplace_back([&] {
      HttpTestClient client(port_);
      for (int request = 0; request < 40; ++request) {
        client.Send("GET /v/movie.webm HTTP/1.1\r\nHost: t\r\n\r\n");
        const std::string response = client.ReadResponse(false);
        ++answered;
        // Windows may refuse the open while the file is being replaced.
        if (response.rfind("HTTP/1.1 404", 0) == 0) continue;
        const std::string body = BodyOf(response);
        ASSERT_EQ(body.size(), size);
        EXPECT_EQ(body.find_first_not_of(body[0]), std::string::npos) << "a mixed answer";
      }
    });
  }
  for (std::thread& reader : readers) reader.join();
  writing = false;
  writer.join();
  EXPECT_EQ(answered, 160);
  WriteFileBytes(realPath, std::string(size, 'z'));
  ASSERT_TRUE(client_.Connect(port_));
  EXPECT_TRUE(Ask("").body == std::string(size, 'z'));
}

// A download manager's pattern: the file in segments over parallel
// connections, under the download cap, shown as downloads while they run.
TEST_F(Ranges, ParallelSegmentsReassembleUnderTheCap) {
  const int cap = 100;  // KB/s
  const std::size_t size = 250 * 1024;
  const std::string content = Pattern(size);
  Publish("/v/movie.webm", content);
  SetInt("MaxDown", cap, true);
  StartServer();

  const int kSegments = 4;
  std::vector<std::string> parts(kSegments);
  std::vector<std::thread> threads;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kSegments; ++i) {
    threads.emplace_back([&, i] {
      const std::size_t first = size / kSegments * i;
      const std::size_t last = i + 1 == kSegments ? size - 1 : size / kSegments * (i + 1) - 1;
      HttpTestClient client(port_);
      client.Send("GET /v/movie.webm HTTP/1.1\r\nHost: t\r\nRange: bytes=" + std::to_string(first) +
                  "-" + std::to_string(last) + "\r\n\r\n");
      const std::string response = client.ReadResponse(false, 10000);
      EXPECT_EQ(response.rfind("HTTP/1.1 206\r\n", 0), 0u);
      parts[i] = BodyOf(response);
    });
  }
  // Meanwhile the registry shows each segment's connection downloading the
  // file at a measured rate.
  bool seenDownloading = WaitFor(
      [this] {
        int downloading = 0;
        for (const ClientInfo& client : server().clients().Clients()) {
          if (client.currentActivity == "movie.webm" && client.currentRate > 0) ++downloading;
        }
        return downloading == kSegments;
      },
      1500);
  for (std::thread& thread : threads) thread.join();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  EXPECT_TRUE(seenDownloading);
  std::string joined;
  for (const std::string& part : parts) joined += part;
  EXPECT_TRUE(joined == content) << joined.size();
  // 250 KiB at 100 KiB/s: not faster than the cap allows (the first slot of
  // each connection is free), and not much slower: the four share it.
  EXPECT_GT(seconds, 2.0);
  EXPECT_LT(seconds, 4.5);
}

TEST(HttpDates, ClientFormsAreReadAndNonsenseIsNot) {
  const int64_t moment = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
  for (const char* text :
       {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
        "Sun Nov  6 08:49:37 1994", "Sun, 06 Nov 1994 08:49:37 GMT; length=12"}) {
    EXPECT_EQ(ParseHttpDate(text), moment) << text;
  }
  EXPECT_EQ(ParseHttpDate("Thursday, 01-Jan-70 00:00:00 GMT"), 0);
  EXPECT_EQ(ParseHttpDate("Tuesday, 29-Feb-28 00:00:00 GMT"), 1835395200);
  const int64_t late = 4102444799;  // the last second of 2099
  EXPECT_EQ(ParseHttpDate(FormatHttpDate(late)), late);
  for (const char* text : {"", "GMT", "Sun, 06 Nov 1994 08:49:37", "Sun, 06 nov 1994 08:49:37 GMT",
                           "Sun, 6 Nov 1994 08:49:37 GMT", "Sun, 06 Nov 94 08:49:37 GMT",
                           "Sun, 06 Nov 1994 24:00:00 GMT", "Sun, 06 Nov 1994 08:49 GMT",
                           "Sun, 29 Feb 1995 08:49:37 GMT", "Sun Nov  6 08:49:37 94",
                           "Sun, 06 Nov 1994 08:49:37 UTC", "1994-11-06T08:49:37Z"}) {
    EXPECT_EQ(ParseHttpDate(text), std::nullopt) << text;
  }
}

}  // namespace
