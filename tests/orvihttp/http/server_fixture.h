#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "orvihttp/http/server.h"
#include "orvihttp/logging/binary_log.h"
#include "tests/support/test_support.h"

// A real server (listener, registry, virtual directory, logs) following the
// settings store, on a free loopback port; made anew for each test and ended
// after it.
class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes a real file into the temporary folder and publishes it as
  // `urlPath` ("/docs/a.txt"; folders on the way are made). Its last-write
  // time is set to kFileTime. Returns the real path.
  std::string Publish(const std::string& urlPath, const std::string& content);
  void StartServer();
  // Ends the listener and every connection.
  void StopEngine();
  Server& server() { return *server_; }
  // The first Log-page line holding `part`, or "" when none does yet.
  std::string LogPageLineWith(const std::string& part);

  // Tue, 14 Nov 2023 22:13:20 GMT
  static constexpr int64_t kFileTime = 1700000000;
  static constexpr const char* kFileTimeText = "Tue, 14 Nov 2023 22:13:20 GMT";

  std::unique_ptr<Server> server_;
  TempFolder files_;
  int port_ = 0;
  int fileCount_ = 0;
};

// `size` bytes of lower-case letters in a pattern that does not repeat
// within 26 bytes, so a range cut at the wrong place shows.
std::string LetterPattern(std::size_t size);

// Waits up to `milliseconds` for `condition`; true when it held.
template <class Condition>
bool WaitFor(Condition condition, int milliseconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// The records of the binary log at `path` once it holds at least `count` of
// them, or of those that `counted` accepts (or after five seconds, whatever it
// holds then). The server writes them after the response and the Log page's
// line, so a client may see both first.
std::vector<BinLogRecord> BinLogRecordsOnceThere(
    const std::string& path, std::size_t count,
    const std::function<bool(const BinLogRecord&)>& counted = nullptr);
