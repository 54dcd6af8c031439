// What a client controls beyond the request head: the bytes that reach the
// logs, and the scripts it can make the server run.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "foundation/settings.h"
#include "orvihttp/config/product_identity.h"
#include "orvihttp/content/php_child_slots.h"
#include "orvihttp/content/php_gateway.h"
#include "orvihttp/logging/display_queue.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/orvihttp/http/server_fixture.h"
#include "tests/support/child_program.h"
#include "tests/support/test_support.h"

namespace {

std::string StatusOf(const std::string& response) {
  return response.substr(0, response.find("\r\n"));
}

// Lines of `text` that begin with `prefix`.
std::string LinesStartingWith(const std::string& text, const std::string& prefix) {
  std::string found;
  for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (text.compare(start, prefix.size(), prefix) == 0)
      found += text.substr(start, end - start + 1);
  }
  return found;
}

using LogForging = ServerTest;

// Scripts run by the fake PHP program of the tests, which prints its
// arguments and then the script file; started per request, or kept running
// (the parameter).
class HostilePhp : public ServerTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    SetBool("PHPEnable", true, true);
    SetString("PHPPath", TestProgramPath("fixture_fake_cgi"), true);
    SetString("PHPMode", KeptRunning() ? "FastCGI" : "CGI", true);
  }
  static bool KeptRunning() { return GetParam(); }
  void TearDown() override {
    ServerTest::TearDown();
    SetPhpChildLimitForTesting(0);
    SetPhpTimeLimitForTesting(0);
  }

  static std::string Output(const std::string& script, const std::string& content) {
    return "argc=3\n[-f]\n[" + script + "]\n" + content;
  }

  // One GET on a fresh connection; the response and the seconds it took.
  std::string Timed(const std::string& uri, double* seconds) {
    const auto start = std::chrono::steady_clock::now();
    HttpTestClient client(port_);
    client.Send("GET " + uri + " HTTP/1.1\r\nHost: t\r\n\r\n");
    std::string response = client.ReadResponse(false, 20000);
    *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return response;
  }
};

TEST_F(LogForging, RequestLinesCannotPlantLinesOrTerminalCodes) {
  Publish("/a.txt", "abc");
  const std::string accessLog = files_.File("access.log");
  SetBool("Log", true, true);
  SetString("LogPath", accessLog, true);
  server().logs().display.Clear();
  StartServer();

  // A bare CR and a forged entry (too many words: 505), then a quote, a
  // backslash, a screen-clearing escape sequence and a NUL byte (404).
  const std::string forged =
      "GET /x\r127.0.0.1 - - [01/Jan/2030:00:00:00 +0000] \"GET /admin HTTP/1.0\" 200 1 HTTP/1.0";
  EXPECT_EQ(StatusOf(Exchange(port_, forged + "\r\n\r\n")), "HTTP/1.1 505");
  const std::string terminal = std::string("GET /\x1B[2J\x1B[H\\\"") + '\0' + " HTTP/1.0";
  EXPECT_EQ(StatusOf(Exchange(port_, terminal + "\r\n\r\n")), "HTTP/1.1 404");
  EXPECT_EQ(StatusOf(Exchange(port_, "GET /a.txt HTTP/1.0\r\n\r\n")), "HTTP/1.1 200");

  // Every line is one response, with nothing a terminal would act on, and the
  // quotes around the request line are the only quotes in it.
  // Each line is written just after its response went out, by the thread of
  // its connection: the three may land in any order.
  const std::string terminalShown = " - 127.0.0.1 - GET /\\x1B[2J\\x1B[H\\x5C\\x22\\x00 HTTP/1.0";
  // Access-log lines may be held back a moment after their display lines.
  auto loggedRequests = [&] {
    const std::string text = ReadFileBytes(accessLog);
    int count = 0;
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
      if (text[start] != '#') ++count;
    }
    return count;
  };
  WaitFor(
      [&] {
        return server().logs().display.AllLines().size() >= 3 &&
               !LogPageLineWith("GET /a.txt").empty() && !LogPageLineWith("GET /\\x1B").empty() &&
               loggedRequests() >= 3;
      },
      10000);
  const std::string text = ReadFileBytes(accessLog);
  std::vector<std::string> requests;
  for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    const std::string line = text.substr(start, end - start);
    if (line.rfind('#', 0) == 0) continue;
    for (char c : line) {
      EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F) << line;
    }
    const std::size_t open = line.find('"');
    const std::size_t close = line.find('"', open + 1);
    EXPECT_EQ(line.find('"', close + 1), std::string::npos) << line;
    requests.push_back(line.substr(open + 1, close - open - 1));
  }
  std::sort(requests.begin(), requests.end());
  EXPECT_EQ(requests, (std::vector<std::string>{
                          "GET /\\x1B[2J\\x1B[H\\x5C\\x22\\x00 HTTP/1.0", "GET /a.txt HTTP/1.0",
                          "GET /x\\x0D127.0.0.1 - - [01/Jan/2030:00:00:00 +0000] \\x22GET /admin "
                          "HTTP/1.0\\x22 200 1 HTTP/1.0"}));

  const std::string shown = LogPageLineWith("GET /\\x1B");
  ASSERT_NE(shown.find(" - 127.0.0.1 - "), std::string::npos) << shown;
  EXPECT_EQ(shown.substr(shown.find(" - 127.0.0.1 - ")), terminalShown);
}

INSTANTIATE_TEST_SUITE_P(Modes, HostilePhp, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "FastCgi" : "Cgi");
                         });

TEST_P(HostilePhp, ScriptsInheritNoFilesOrSockets) {
  // A download in progress holds its file and socket open while the script
  // starts.
  const std::string big = Publish("/big.bin", std::string(200 * 1024, 'b'));
  Publish("/fds.php", "fds\n");
  SetInt("MaxDown", 1, true);
  StartServer();
  HttpTestClient download(port_);
  download.Send("GET /big.bin HTTP/1.1\r\nHost: t\r\n\r\n");
  ASSERT_EQ(StatusOf(download.Read(100, 5000)), "HTTP/1.1 200");

  const std::string body = BodyOf(Get(port_, "/fds.php"));
  if (body.find("no fd list") != std::string::npos) GTEST_SKIP() << "no descriptor list here";
  ASSERT_EQ(body.rfind("argc=3\n", 0), 0u) << body;
  // What the test program itself inherited may show up; nothing of the
  // server's may: no served file, no socket.
  const std::string folder = big.substr(0, big.find_last_of("/\\"));
  const std::string inherited = LinesStartingWith(body, "fd ");
  EXPECT_EQ(inherited.find(folder), std::string::npos) << inherited;
  // A program kept running is handed the one socket it listens on.
  if (!KeptRunning()) {
    EXPECT_EQ(inherited.find("socket:"), std::string::npos) << inherited;
  }
}

TEST_P(HostilePhp, SlowScriptsHoldUpNoOtherClient) {
  Publish("/slow.php", "sleep:4000\ndone");
  Publish("/a.txt", "abc");
  StartServer();
  // More scripts at once than a server of few threads has threads.
  const unsigned processors = std::thread::hardware_concurrency();
  const std::size_t scripts = 2 * (processors > 0 ? processors : 1) + 2;
  std::vector<std::unique_ptr<HttpTestClient>> running;
  for (std::size_t i = 0; i < scripts; ++i) {
    running.push_back(std::make_unique<HttpTestClient>(port_));
    running.back()->Send("GET /slow.php HTTP/1.1\r\nHost: t\r\n\r\n");
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  double seconds = 0;
  EXPECT_EQ(BodyOf(Timed("/a.txt", &seconds)), "abc");
  EXPECT_LT(seconds, 2.0);
  for (auto& client : running) {
    EXPECT_EQ(StatusOf(client->ReadResponse(false, 20000)), "HTTP/1.1 200");
  }
}

// Requests that come at the same moment as a script's may be taken up
// together with it; none may wait for the script to end.
TEST_P(HostilePhp, RequestsArrivingWithAScriptAreNotHeldUpByIt) {
  Publish("/slow.php", "sleep:3000\ndone");
  Publish("/a.txt", "abc");
  StartServer();
  HttpTestClient slow(port_);
  std::vector<std::unique_ptr<HttpTestClient>> quick;
  for (int i = 0; i < 6; ++i) quick.push_back(std::make_unique<HttpTestClient>(port_));
  // Every connection waits for its first request by then.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  slow.Send("GET /slow.php HTTP/1.1\r\nHost: t\r\n\r\n");
  for (auto& client : quick) client->Send("GET /a.txt HTTP/1.1\r\nHost: t\r\n\r\n");
  const auto start = std::chrono::steady_clock::now();
  for (auto& client : quick) EXPECT_EQ(BodyOf(client->ReadResponse(false, 10000)), "abc");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500))
      << "the answers waited for the script";
  EXPECT_EQ(StatusOf(slow.ReadResponse(false, 20000)), "HTTP/1.1 200");
}

TEST_P(HostilePhp, LongOutputIsStreamedAndLoggedAsSent) {
  std::string content(3 * 1024 * 1024 + 5, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i % 23);
  const std::string script = Publish("/long.php", content);
  const std::string accessLog = files_.File("access.log");
  SetBool("Log", true, true);
  SetString("LogPath", accessLog, true);
  StartServer();

  HttpTestClient client(port_);
  client.Send("GET /long.php HTTP/1.1\r\nHost: t\r\n\r\n");
  bool closed = false;
  const std::string response = client.ReadToEnd(20000, &closed);
  EXPECT_TRUE(closed);
  const std::size_t headEnd = response.find("\r\n\r\n");
  ASSERT_NE(headEnd, std::string::npos);
  // No length is known when the answer starts: the closed connection ends it.
  EXPECT_EQ(WithoutDate(response.substr(0, headEnd + 4)),
            "HTTP/1.1 200\r\nConnection: close\r\nDate: <date>\r\n"
            "Server: Orvi HTTP Server " ORVI_VERSION_TEXT
            "\r\n"
            "Content-Type: text/html; charset=ISO-8859-1\r\n\r\n");
  const std::string body = response.substr(headEnd + 4);
  EXPECT_TRUE(body == Output(script, content)) << body.size();
  // The line may go out just after the connection closed.
  const std::string logged =
      "\"GET /long.php HTTP/1.1\" 200 " + std::to_string(body.size()) + "\r\n";
  std::string log;
  EXPECT_TRUE(WaitFor(
      [&] {
        log = ReadFileBytes(accessLog);
        return log.size() >= logged.size() &&
               log.compare(log.size() - logged.size(), logged.size(), logged) == 0;
      },
      5000))
      << log;
}

TEST_P(HostilePhp, SlowScriptsCannotPileUpChildren) {
  Publish("/slow.php", "sleep:15000\n");
  Publish("/fast.php", "quick");
  SetPhpChildLimitForTesting(1);
  SetPhpTimeLimitForTesting(7000);
  StartServer();
  server().phpPrograms().SetLimitForTesting(1);

  // The first run takes the only slot and is ended at its time limit; the
  // second waits for the slot and is turned away.
  double firstSeconds = 0;
  std::string first;
  std::thread slow([&] { first = Timed("/slow.php", &firstSeconds); });
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  double secondSeconds = 0;
  const std::string second = Timed("/slow.php", &secondSeconds);
  EXPECT_EQ(StatusOf(second), "HTTP/1.1 503");
  EXPECT_GT(secondSeconds, 4.5);
  EXPECT_LT(secondSeconds, 6.5);
  slow.join();
  EXPECT_EQ(StatusOf(first), "HTTP/1.1 504");
  EXPECT_GT(firstSeconds, 6.5);
  EXPECT_LT(firstSeconds, 10.0);

  // The slot is free again.
  double fastSeconds = 0;
  EXPECT_EQ(StatusOf(Timed("/fast.php", &fastSeconds)), "HTTP/1.1 200");
  EXPECT_LT(fastSeconds, 2.0);
}

}  // namespace
