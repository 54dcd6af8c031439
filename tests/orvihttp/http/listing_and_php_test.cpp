// Folder listings and PHP scripts answered by the real engine over loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "foundation/child_process.h"
#include "foundation/file_system.h"
#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "orvihttp/config/product_identity.h"
#include "orvihttp/logging/binary_log.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/orvihttp/http/server_fixture.h"
#include "tests/support/child_program.h"
#include "tests/support/test_support.h"

namespace {

const char kHtmlType[] = "text/html; charset=ISO-8859-1";

std::string Post(int port, const std::string& uri, const std::string& body) {
  return Exchange(port, "POST " + uri + " HTTP/1.1\r\nHost: test\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\n\r\n" + body);
}

// A generated response (listing, script output): no Last-Modified line.
std::string PageResponse(const std::string& body, bool withBody = true) {
  return "HTTP/1.1 200\r\nConnection: Keep-Alive\r\nDate: <date>\r\n"
         "Server: Orvi HTTP Server " ORVI_VERSION_TEXT "\r\nContent-Type: " +
         std::string(kHtmlType) + "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + (withBody ? body : "");
}

std::string StatusOf(const std::string& response) {
  return response.substr(0, response.find("\r\n"));
}

std::vector<std::string> Links(const std::string& page) {
  std::vector<std::string> links;
  std::size_t at = 0;
  while ((at = page.find("<a href=\"", at)) != std::string::npos) {
    at += 9;
    links.push_back(page.substr(at, page.find('"', at) - at));
  }
  return links;
}

std::string Row(const std::string& link, const std::string& text, const std::string& size,
                const std::string& time) {
  return "<tr><td><a href=\"" + link + "\">" + text + "</a></td><td>" + size + "</td><td>" + time +
         "</td></tr>";
}

class Listing : public ServerTest {};

}  // namespace

TEST_F(Listing, FolderWithoutIndexIsListed) {
  Publish("/docs/a.html", "0123456789");
  Publish("/docs/img/x.png", "png");
  StartServer();
  const std::string response = Get(port_, "/docs/");
  const std::string body = BodyOf(response);
  EXPECT_EQ(WithoutDate(response), PageResponse(body));
  EXPECT_EQ(body.rfind("<html><body><h2>Index of /docs</h2>", 0), 0u);
  EXPECT_NE(body.find(Row("/docs/a.html", "a.html", "10", kFileTimeText)), std::string::npos);
  EXPECT_NE(body.find("<a href=\"/docs/img/\">img/</a>"), std::string::npos);
  EXPECT_EQ(Links(body), (std::vector<std::string>{"/", "/docs/a.html", "/docs/img/"}));
  const std::string footer = " at port " + std::to_string(port_) + ".</body>";
  EXPECT_EQ(body.substr(body.size() - footer.size()), footer);
  // Without the trailing "/" it is the same folder.
  EXPECT_EQ(Links(BodyOf(Get(port_, "/docs"))), Links(body));
}

TEST_F(Listing, HeadGetsTheHeadersOnly) {
  Publish("/a.txt", "a");
  StartServer();
  const std::string full = Get(port_, "/");
  HttpTestClient client(port_);
  client.Send("HEAD / HTTP/1.1\r\nHost: test\r\n\r\n");
  EXPECT_EQ(WithoutDate(client.ReadResponse(true)), PageResponse(BodyOf(full), false));
  bool closed = true;
  EXPECT_EQ(client.ReadToEnd(300, &closed), "");
}

TEST_F(Listing, EveryLinkLeadsToItsEntry) {
  const std::string names[] = {"a b#c?d%e&f.txt", "caf\xE9.txt", "<img src=x onerror=alert(1)>.txt",
                               "100%+1.txt", "it's \"q\".txt"};
  for (const std::string& name : names) Publish("/my docs/" + name, "content of " + name);
  StartServer();
  const std::string page = BodyOf(Get(port_, "/my%20docs/"));
  EXPECT_EQ(page.find("<img"), std::string::npos);
  std::vector<std::string> links = Links(page);
  ASSERT_EQ(links.size(), 1 + std::size(names));
  EXPECT_EQ(StatusOf(Get(port_, links[0])), "HTTP/1.1 200");
  int served = 0;
  for (std::size_t i = 1; i < links.size(); ++i) {
    std::string body = BodyOf(Get(port_, links[i]));
    for (const std::string& name : names) served += body == "content of " + name;
  }
  EXPECT_EQ(served, static_cast<int>(std::size(names)));
}

namespace {

// Scripts run by the fake CGI program, which prints its arguments and then
// the script file; started per request, or kept running (the parameter).
class Php : public ServerTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    SetBool("PHPEnable", true, true);
    SetString("PHPPath", TestProgramPath("fixture_fake_cgi"), true);
    SetString("PHPMode", GetParam() ? "FastCGI" : "CGI", true);
  }

  // What the fake program prints for a script and its query words.
  static std::string Output(const std::string& script, const std::vector<std::string>& words,
                            const std::string& content) {
    std::string text = "argc=" + std::to_string(3 + (words.empty() ? 0 : 1 + words.size())) +
                       "\n[-f]\n[" + script + "]\n";
    if (!words.empty()) text += "[--]\n";
    for (const std::string& word : words) text += "[" + word + "]\n";
    return text + content;
  }
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Modes, Php, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "FastCgi" : "Cgi");
                         });

TEST_P(Php, QueryAndBodyBecomeArguments) {
  const std::string content = "<?php echo 1; ?>";
  const std::string script = Publish("/a.php", content);
  StartServer();
  EXPECT_EQ(WithoutDate(Get(port_, "/a.php?x=1")), PageResponse(Output(script, {"x=1"}, content)));
  EXPECT_EQ(WithoutDate(Get(port_, "/a.php")), PageResponse(Output(script, {}, content)));
  EXPECT_EQ(WithoutDate(Get(port_, "/a.php?q=a%20b")),
            PageResponse(Output(script, {"q=a%20b"}, content)));
  // The body replaces the URL's query; its spaces split it into words.
  EXPECT_EQ(WithoutDate(Post(port_, "/a.php?x=1", "a=1&b=2 c")),
            PageResponse(Output(script, {"a=1&b=2", "c"}, content)));
}

TEST_P(Php, OutputIsSentByteForByte) {
  const std::string content("a\r\nb\x1a\r\n\0end\n", 11);
  const std::string script = Publish("/bytes.php3", content);
  StartServer();
  EXPECT_EQ(WithoutDate(Get(port_, "/bytes.php3")), PageResponse(Output(script, {}, content)));
}

TEST_P(Php, HeadRunsTheScriptAndSendsTheHeadersOnly) {
  const std::string script = Publish("/a.php", "12345");
  StartServer();
  HttpTestClient client(port_);
  client.Send("HEAD /a.php?x=1 HTTP/1.1\r\nHost: test\r\n\r\n");
  EXPECT_EQ(WithoutDate(client.ReadResponse(true)),
            PageResponse(Output(script, {"x=1"}, "12345"), false));
  bool closed = true;
  EXPECT_EQ(client.ReadToEnd(300, &closed), "");
}

TEST_P(Php, OnlyPhpExtensionsAreScripts) {
  Publish("/notes.phpinfo.txt", "plain");
  Publish("/a.PHP", "upper");
  StartServer();
  EXPECT_EQ(BodyOf(Get(port_, "/notes.phpinfo.txt")), "plain");
  EXPECT_EQ(BodyOf(Get(port_, "/a.PHP")), "upper");
}

TEST_P(Php, MissingProgramGives500) {
  Publish("/a.php", "x");
  SetString("PHPPath", TestProgramPath("no_such_php_cgi"), true);
  StartServer();
  const std::string response = Get(port_, "/a.php");
  EXPECT_EQ(StatusOf(response), "HTTP/1.1 500");
  EXPECT_EQ(BodyOf(response), "500 Internal server error");
}

TEST_P(Php, QueriesTheCommandLineMustNotCarryGive400) {
  Publish("/a.php", "x");
  StartServer();
  EXPECT_EQ(StatusOf(Post(port_, "/a.php", "name=caf\xE9")), "HTTP/1.1 400");
  EXPECT_EQ(StatusOf(Post(port_, "/a.php", std::string(kMaxCommandLineLength, 'x'))),
            "HTTP/1.1 400");
  EXPECT_EQ(StatusOf(Get(port_, "/a.php?ok=1")), "HTTP/1.1 200");
}

TEST_P(Php, ResponseIsLoggedAsADownloadOfTheScript) {
  TempFolder logs;
  SetString("BinLogPath", logs.File("OrviHTTP.binlog"), false);
  const std::string script = Publish("/a.php", "abc");
  StartServer();
  const std::string body = BodyOf(Get(port_, "/a.php"));
  ASSERT_EQ(body, Output(script, {}, "abc"));
  const std::vector<BinLogRecord> records = BinLogRecordsOnceThere(logs.File("OrviHTTP.binlog"), 3);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].type, static_cast<int32_t>(BinLogType::ConnectionAccepted));
  EXPECT_EQ(records[1].type, static_cast<int32_t>(BinLogType::RequestSucceeded));
  EXPECT_EQ(records[1].first, "127.0.0.1");
  EXPECT_EQ(records[2].type, static_cast<int32_t>(BinLogType::FileDownloaded));
  EXPECT_EQ(records[2].second, "a.php");
  EXPECT_EQ(records[2].value, body.size());
}

TEST_P(Php, DebiansPhpCgi) {
  const std::string php = "/usr/bin/php-cgi";
  if (kPathSeparator != '/' || !IsFile(php)) GTEST_SKIP() << "no " << php;
  SetString("PHPPath", php, true);
  Publish("/t.php", "<?php echo 'x=', $_GET['x'] ?? '-', \"\\r\\n\", chr(26);");
  StartServer();
  EXPECT_EQ(WithoutDate(Get(port_, "/t.php?x=1")), PageResponse("x=1\r\n\x1a"));
  EXPECT_EQ(WithoutDate(Post(port_, "/t.php", "x=posted")), PageResponse("x=posted\r\n\x1a"));
}

TEST_P(Php, StoppingTheServerEndsARunningScript) {
  Publish("/slow.php", "sleep:60000\nlate");
  StartServer();
  HttpTestClient client(port_);
  client.Send("GET /slow.php HTTP/1.1\r\nHost: test\r\n\r\n");
  // The script is running (or about to) when the server stops.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto before = std::chrono::steady_clock::now();
  StopEngine();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(30));
  EXPECT_TRUE(client.ClosedWithoutData(5000));
}

namespace {

// The id of the program running a "pidsleep" script, once it has written it.
long ProgramOf(const std::string& script) {
  std::string text;
  WaitFor([&] { return !(text = ReadFileBytes(script + ".pid")).empty(); }, 10000);
  RemoveFile(script + ".pid");
  return std::atol(text.c_str());
}

}  // namespace

TEST_P(Php, ProgramsKeptRunningServeRequestAfterRequestAndEndAtStop) {
  if (!GetParam()) GTEST_SKIP() << "one program per request";
  const std::string script = Publish("/pid.php", "pidsleep:0\n");
  StartServer();
  ASSERT_EQ(StatusOf(Get(port_, "/pid.php")), "HTTP/1.1 200");
  const long first = ProgramOf(script);
  ASSERT_EQ(StatusOf(Get(port_, "/pid.php")), "HTTP/1.1 200");
  EXPECT_EQ(ProgramOf(script), first) << "a program kept running serves the next page";
  EXPECT_TRUE(ProcessRunning(first));
  StopEngine();
  EXPECT_TRUE(WaitFor([&] { return !ProcessRunning(first); }, 5000))
      << "the server's stop ends its PHP programs";
}

TEST_P(Php, AProgramKilledDuringARequestGives502AndTheNextRequestAFreshOne) {
  if (!GetParam()) GTEST_SKIP() << "a program that ends ends the page";
  const std::string slow = Publish("/slow.php", "pidsleep:60000\n");
  const std::string script = Publish("/a.php", "abc");
  StartServer();
  HttpTestClient client(port_);
  client.Send("GET /slow.php HTTP/1.1\r\nHost: test\r\n\r\n");
  const long program = ProgramOf(slow);
  ASSERT_TRUE(KillProcess(program));
  const std::string response = client.ReadResponse();
  EXPECT_EQ(StatusOf(response), "HTTP/1.1 502");
  EXPECT_EQ(BodyOf(response), "502 Bad gateway");
  EXPECT_EQ(WithoutDate(Get(port_, "/a.php")), PageResponse(Output(script, {}, "abc")));
  // The page after it came from a program started since.
  const std::string next = Publish("/next.php", "pidsleep:0\n");
  EXPECT_EQ(StatusOf(Get(port_, "/next.php")), "HTTP/1.1 200");
  const long fresh = ProgramOf(next);
  EXPECT_NE(fresh, 0);
  EXPECT_NE(fresh, program);
}

TEST_P(Php, DebiansPhpCgiKilledDuringARequest) {
  const std::string php = "/usr/bin/php-cgi";
  if (!GetParam()) GTEST_SKIP() << "one program per request";
  if (kPathSeparator != '/' || !IsFile(php)) GTEST_SKIP() << "no " << php;
  SetString("PHPPath", php, true);
  const std::string slow = Publish(
      "/slow.php", "<?php file_put_contents(__FILE__ . '.pid', getmypid()); echo 1; sleep(60);");
  Publish("/t.php", "<?php echo 'x=', $_GET['x'];");
  StartServer();
  HttpTestClient client(port_);
  client.Send("GET /slow.php HTTP/1.1\r\nHost: test\r\n\r\n");
  ASSERT_TRUE(KillProcess(ProgramOf(slow)));
  EXPECT_EQ(StatusOf(client.ReadResponse()), "HTTP/1.1 502");
  EXPECT_EQ(WithoutDate(Get(port_, "/t.php?x=2")), PageResponse("x=2"));
}
