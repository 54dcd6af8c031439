// What a client controls beyond the request head: the bytes that reach the
// logs, and the scripts it can make the server run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/settings.h"
#include "orvihttp/logging/display_queue.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/orvihttp/http/server_fixture.h"
#include "tests/support/test_support.h"

namespace {

std::string StatusOf(const std::string& response) {
  return response.substr(0, response.find("\r\n"));
}

using LogForging = ServerTest;

TEST_F(LogForging, RequestLinesCannotPlantLinesOrTerminalCodes) {
  Publish("/a.txt", "abc");
  const std::string accessLog = files_.File("access.log");
  SetBool("Log", true, true);
  SetString("LogPath", accessLog, true);
  ClearDisplayLines();
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
  EXPECT_EQ(requests, (std::vector<std::string>{
                          "GET /x\\x0D127.0.0.1 - - [01/Jan/2030:00:00:00 +0000] \\x22GET /admin "
                          "HTTP/1.0\\x22 200 1 HTTP/1.0",
                          "GET /\\x1B[2J\\x1B[H\\x5C\\x22\\x00 HTTP/1.0", "GET /a.txt HTTP/1.0"}));

  std::vector<DisplayLine> lines = DisplayLines();
  ASSERT_GE(lines.size(), 3u);
  const std::string& shown = lines[lines.size() - 2].text;
  EXPECT_EQ(shown.substr(shown.find(" - 127.0.0.1 - ")),
            " - 127.0.0.1 - GET /\\x1B[2J\\x1B[H\\x5C\\x22\\x00 HTTP/1.0");
}

}  // namespace
