// Two servers in one process, each with settings, a tree, clients, bans and
// logs of its own: whatever one of them holds, the other must not see.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "orvihttp/http/server.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/orvihttp/http/server_fixture.h"
#include "tests/support/test_support.h"

namespace {

struct OneServer {
  OneServer(TempFolder& folder, const std::string& name, const std::string& content) {
    auto fixed = std::make_shared<ServerSettings>();
    fixed->port = FindFreePort();
    fixed->log = true;
    fixed->dirView = true;  // so a name the tree lacks is a 404
    fixed->logPath = folder.File(name + ".log");
    fixed->binLogPath = folder.File(name + ".binlog");
    settings = fixed;
    server = std::make_unique<Server>([this] { return settings; });
    file = "/" + name + ".txt";
    EXPECT_TRUE(WriteFileBytes(folder.File(name + ".txt"), content));
    EXPECT_TRUE(server->directory().AddFile("", name + ".txt", folder.File(name + ".txt")));
    EXPECT_EQ(server->listener().Start(), ListenerStart::Listening);
  }
  int port() const { return settings->port; }

  std::shared_ptr<const ServerSettings> settings;
  std::unique_ptr<Server> server;
  std::string file;
};

TEST(TwoServers, ServeSideBySideWithTheirOwnTreesClientsBansAndLogs) {
  TempFolder folder;
  OneServer alpha(folder, "alpha", "first tree");
  OneServer bravo(folder, "bravo", "second tree");
  ASSERT_NE(alpha.port(), bravo.port());

  // Both at once, from several threads: each answers from its own tree only.
  std::atomic<int> wrong{0};
  std::vector<std::thread> clients;
  for (int t = 0; t < 4; ++t) {
    clients.emplace_back([&] {
      for (int i = 0; i < 20; ++i) {
        if (BodyOf(Get(alpha.port(), "/alpha.txt")) != "first tree") ++wrong;
        if (BodyOf(Get(bravo.port(), "/bravo.txt")) != "second tree") ++wrong;
        if (Get(alpha.port(), "/bravo.txt").rfind("HTTP/1.1 404", 0) != 0) ++wrong;
      }
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(wrong, 0);

  // A client kept open on one server is that server's client only.
  HttpTestClient waiting(alpha.port());
  waiting.Send("GET /alpha.txt HTTP/1.1\r\nHost: t\r\n\r\n");
  EXPECT_EQ(BodyOf(waiting.ReadResponse()), "first tree");
  // The connections of the loop above may still be on their way out of
  // either server, so both counts are given time to settle.
  ASSERT_TRUE(WaitFor([&] { return alpha.server->clients().LiveCount() == 1; }, 3000));
  EXPECT_TRUE(WaitFor([&] { return bravo.server->clients().LiveCount() == 0; }, 3000))
      << bravo.server->clients().LiveCount();

  // A ban on one server shuts its door only.
  bravo.server->blacklist().Ban("127.0.0.1");
  HttpTestClient banned(bravo.port());
  banned.Send("GET /bravo.txt HTTP/1.1\r\nHost: t\r\n\r\n");
  EXPECT_TRUE(banned.ClosedWithoutData(3000));
  EXPECT_EQ(BodyOf(Get(alpha.port(), "/alpha.txt")), "first tree");
  EXPECT_TRUE(alpha.server->blacklist().Addresses().empty());

  // Each log holds its own server's requests and nothing of the other's.
  const std::string alphaLog = ReadFileBytes(alpha.settings->logPath);
  const std::string bravoLog = ReadFileBytes(bravo.settings->logPath);
  EXPECT_NE(alphaLog.find("GET /alpha.txt"), std::string::npos);
  EXPECT_NE(alphaLog.find("GET /bravo.txt HTTP/1.1\" 404"), std::string::npos);
  EXPECT_NE(bravoLog.find("GET /bravo.txt HTTP/1.1\" 200"), std::string::npos);
  EXPECT_EQ(bravoLog.find("alpha"), std::string::npos);
  for (const DisplayLine& line : bravo.server->logs().display.AllLines()) {
    EXPECT_EQ(line.text.find("alpha"), std::string::npos) << line.text;
  }
  EXPECT_FALSE(ReadFileBytes(alpha.settings->binLogPath).empty());
  EXPECT_FALSE(ReadFileBytes(bravo.settings->binLogPath).empty());

  // One server ends, with a client of its own still connected; the other
  // goes on serving.
  alpha.server.reset();
  EXPECT_TRUE(waiting.ClosedWithoutData(3000));
  bravo.server->blacklist().Unban("127.0.0.1");
  EXPECT_EQ(BodyOf(Get(bravo.port(), "/bravo.txt")), "second tree");
}

}  // namespace
