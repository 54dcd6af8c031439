// Clients that try to wear the server down: slow heads and bodies, too many
// connections, big bodies, runs of faulty requests, and no descriptors left.
// Each case checks that a normal client is still served.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "foundation/settings.h"
#include "orvihttp/http/client_registry.h"
#include "orvihttp/http/connection_limits.h"
#include "orvihttp/http/memory_budget.h"
#include "orvihttp/logging/display_queue.h"
#include "tests/hostile/process_usage.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/orvihttp/http/server_fixture.h"
#include "tests/support/child_program.h"
#include "tests/support/test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class HostileClients : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    limits_.headDeadlineMs = 1500;
    limits_.bodyGraceMs = 500;
    limits_.minBodyRate = 200;
    SetConnectionLimitsForTesting(limits_);
    Publish("/index.html", kPage);
  }

  void TearDown() override {
    ServerTest::TearDown();
    SetConnectionLimitsForTesting(ConnectionLimits());
    SetMemoryBudgetForTesting(kDefaultMemoryBudget);
  }

  // A fresh client gets the page, whole, within a second.
  void ExpectNormalClientServed() {
    const Clock::time_point start = Clock::now();
    HttpTestClient client(port_);
    ASSERT_TRUE(client.Send("GET /index.html HTTP/1.1\r\nHost: t\r\n\r\n"));
    const std::string response = client.ReadResponse(false, 1000);
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_EQ(response.rfind("HTTP/1.1 200\r\n", 0), 0u) << response;
    EXPECT_EQ(BodyOf(response), kPage);
  }

  // `count` clients that have begun a request head and are not done, each
  // taken by the server before the next connects (the listen queue is short).
  // Taken means numbered: a count of live clients drops whenever another of
  // the test's connections ends meanwhile, and one such end would make every
  // later head look untaken.
  std::vector<std::unique_ptr<HttpTestClient>> OpenSlowHeads(int count) {
    std::vector<std::unique_ptr<HttpTestClient>> clients;
    for (int i = 0; i < count; ++i) {
      const int64_t before = NewestConnectionId();
      clients.push_back(std::make_unique<HttpTestClient>(port_));
      clients.back()->Send("GET /index.html HTTP/1.1\r\n");
      EXPECT_TRUE(WaitFor([this, before] { return NewestConnectionId() > before; }, 3000)) << i;
    }
    return clients;
  }

  // The number of the newest live connection, -1 when none; numbers only
  // grow, from 0.
  int64_t NewestConnectionId() {
    int64_t newest = -1;
    for (const ClientInfo& client : server().clients().Clients()) {
      if (client.connectionId != kFinishedConnection) {
        newest = std::max<int64_t>(newest, client.connectionId);
      }
    }
    return newest;
  }

  // `count` more clients, each answered the page for one request with
  // `headers` added, and still connected.
  void OpenAnswered(int count, const std::string& headers,
                    std::vector<std::unique_ptr<HttpTestClient>>* clients) {
    for (int i = 0; i < count; ++i) {
      clients->push_back(std::make_unique<HttpTestClient>(port_));
      clients->back()->Send("GET /index.html HTTP/1.1\r\nHost: t\r\n" + headers + "\r\n");
      ASSERT_EQ(BodyOf(clients->back()->ReadResponse()), kPage) << i;
    }
  }

  static constexpr const char* kPage = "<p>still here</p>";
  ConnectionLimits limits_;
};

TEST_F(HostileClients, HeadsSentALineAtATimeEndAtTheDeadline) {
  // Long enough that no head ends while the others are still being opened,
  // which takes seconds on a loaded machine under Wine.
  limits_.headDeadlineMs = 6000;
  SetConnectionLimitsForTesting(limits_);
  StartServer();
  auto slow = OpenSlowHeads(30);
  const Clock::time_point start = Clock::now();
  // Each line comes well inside the idle time, so only the head's own
  // deadline can end these connections.
  std::vector<bool> closed(slow.size(), false);
  int closedCount = 0;
  bool servedMeanwhile = false;
  const int64_t giveUpMs = limits_.headDeadlineMs + 2500;
  while (closedCount < static_cast<int>(slow.size()) && MsSince(start) < giveUpMs) {
    for (std::size_t i = 0; i < slow.size(); ++i) {
      if (closed[i]) continue;
      slow[i]->Send("X-Slow: " + std::to_string(i) + "\r\n");
      if (slow[i]->ClosedWithoutData(1)) {
        closed[i] = true;
        ++closedCount;
      }
    }
    if (!servedMeanwhile) {
      ExpectNormalClientServed();
      servedMeanwhile = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  EXPECT_EQ(closedCount, static_cast<int>(slow.size()));
  EXPECT_LT(MsSince(start), giveUpMs);
  ExpectNormalClientServed();
}

TEST_F(HostileClients, ATrickledBodyEndsAtTheMinimumRate) {
  StartServer();
  HttpTestClient slow(port_);
  slow.Send("POST /index.html HTTP/1.1\r\nHost: t\r\nContent-Length: 1000\r\n\r\n");
  const Clock::time_point start = Clock::now();
  bool closed = false;
  while (!closed && MsSince(start) < 5000) {
    slow.Send("a");
    closed = slow.ClosedWithoutData(200);
  }
  EXPECT_TRUE(closed);
  ExpectNormalClientServed();
}

TEST_F(HostileClients, PastTheCeilingANewcomerGets503AndIdleConnectionsGiveWay) {
  limits_.maxConnections = 12;
  // The unfinished heads must outlive the whole test: only the ceiling may
  // turn the newcomers away.
  limits_.headDeadlineMs = 60 * 1000;
  SetConnectionLimitsForTesting(limits_);
  StartServer();
  const int threadsBefore = ThreadCount();
  auto slow = OpenSlowHeads(12);
  ASSERT_TRUE(WaitFor([this] { return server().clients().LiveCount() >= 12; }, 2000));
  // On a busy machine the server may look at a connection before its head
  // arrives, and a connection that has sent nothing may give way.
  ASSERT_TRUE(WaitFor([this] { return server().clients().IdleCount() == 0; }, 2000));

  for (int i = 0; i < 3; ++i) {
    HttpTestClient refused(port_);
    bool closed = false;
    const std::string reply = refused.ReadToEnd(2000, &closed);
    EXPECT_EQ(reply.rfind("HTTP/1.1 503\r\n", 0), 0u) << reply;
    EXPECT_EQ(BodyOf(reply), "503 Service unavailable");
    EXPECT_TRUE(closed);
  }
  if (threadsBefore > 0) {
    EXPECT_LE(ThreadCount(), threadsBefore + 12);
  }

  // Keep-alive connections waiting for their next request make room.
  slow.clear();
  ASSERT_TRUE(WaitFor([this] { return server().clients().LiveCount() == 0; }, 3000));
  // A client reads its answer before the server has written the answer's
  // log lines and noted that the connection waits for the next request: the
  // next client comes only once it has, so that the first is the oldest.
  std::vector<std::unique_ptr<HttpTestClient>> idle;
  for (std::size_t i = 1; i <= 12; ++i) {
    ASSERT_NO_FATAL_FAILURE(OpenAnswered(1, "", &idle));
    ASSERT_TRUE(WaitFor([this, i] { return server().clients().IdleCount() == i; }, 2000));
  }
  ExpectNormalClientServed();
  EXPECT_TRUE(idle.front()->ClosedWithoutData(1000));
}

TEST_F(HostileClients, WaitingClientsHoldNoThreadAndStalledOnesHoldUpNoOne) {
  StartServer();
  ExpectNormalClientServed();
  const int threadsBefore = ThreadCount();
  // Bodies that stall hold their requests in long waits.
  std::vector<std::unique_ptr<HttpTestClient>> stalled;
  for (int i = 0; i < 4; ++i) {
    stalled.push_back(std::make_unique<HttpTestClient>(port_));
    stalled.back()->Send("POST /index.html HTTP/1.1\r\nHost: t\r\nContent-Length: 900\r\n\r\nab");
  }
  // Keep-alive clients between two requests, and heads under way.
  std::vector<std::unique_ptr<HttpTestClient>> waiting;
  ASSERT_NO_FATAL_FAILURE(OpenAnswered(40, "", &waiting));
  auto slow = OpenSlowHeads(20);
  // Answers that close the connection, whose clients have not closed yet:
  // the server waits for their end.
  std::vector<std::unique_ptr<HttpTestClient>> closing;
  ASSERT_NO_FATAL_FAILURE(OpenAnswered(10, "Connection: close\r\n", &closing));
  ExpectNormalClientServed();
  // Where one thread can wait for many sockets (not on Windows), only the
  // stalled bodies take threads of their own.
  if (threadsBefore > 0) {
    EXPECT_LE(ThreadCount(), threadsBefore + 4 + 4);
  }
  for (auto& client : waiting) {
    client->Send("GET /index.html HTTP/1.1\r\nHost: t\r\n\r\n");
    EXPECT_EQ(BodyOf(client->ReadResponse()), kPage);
  }
}

TEST_F(HostileClients, BodiesForPlainFilesAreNotKept) {
  StartServer();
  constexpr int kClients = 8;
  // Small enough that every body is sent well within the idle time on a
  // loaded machine under Wine, large enough that keeping them would show.
  constexpr std::size_t kBody = 4 * 1024 * 1024;
  const int64_t residentBefore = ResidentKiB();
  std::vector<std::unique_ptr<HttpTestClient>> clients;
  const std::string piece(256 * 1024, 'b');
  for (int i = 0; i < kClients; ++i) {
    clients.push_back(std::make_unique<HttpTestClient>(port_));
    HttpTestClient& client = *clients.back();
    client.Send("POST /index.html HTTP/1.1\r\nHost: t\r\nContent-Length: " + std::to_string(kBody) +
                "\r\n\r\n");
    for (std::size_t sent = 0; sent + piece.size() < kBody; sent += piece.size()) {
      ASSERT_TRUE(client.Send(piece));
    }
  }
  // Every body but its last piece is with the server now.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  if (residentBefore > 0) {
    EXPECT_LT(ResidentKiB() - residentBefore, 16 * 1024);
  }
  for (auto& client : clients) {
    ASSERT_TRUE(client->Send(piece));
    EXPECT_EQ(BodyOf(client->ReadResponse()), kPage);
  }
  EXPECT_EQ(ReservedMemory(), 0u);
  ExpectNormalClientServed();
}

TEST_F(HostileClients, BodiesForScriptsPastTheBudgetGet503) {
  SetBool("PHPEnable", true, true);
  SetString("PHPPath", TestProgramPath("fixture_fake_cgi"), true);
  Publish("/s.php", "script");
  SetMemoryBudgetForTesting(64 * 1024);
  StartServer();

  HttpTestClient big(port_);
  big.Send("POST /s.php HTTP/1.1\r\nHost: t\r\nContent-Length: 100000\r\n\r\n");
  bool closed = false;
  const std::string refused = big.ReadToEnd(3000, &closed);
  EXPECT_EQ(refused.rfind("HTTP/1.1 503\r\n", 0), 0u) << refused;
  EXPECT_TRUE(closed);

  HttpTestClient small(port_);
  small.Send("POST /s.php HTTP/1.1\r\nHost: t\r\nContent-Length: 3\r\n\r\na=1");
  const std::string answer = small.ReadResponse();
  EXPECT_EQ(answer.rfind("HTTP/1.1 200\r\n", 0), 0u) << answer;
  EXPECT_NE(BodyOf(answer).find("[a=1]"), std::string::npos) << answer;
  // The body's share is given back once the request is done.
  EXPECT_TRUE(WaitFor([] { return ReservedMemory() == 0; }, 1000)) << ReservedMemory();
  ExpectNormalClientServed();
}

TEST_F(HostileClients, ARunOfFaultyRequestsEndsTheConnection) {
  StartServer();
  HttpTestClient client(port_);
  std::string junk;
  for (int i = 0; i < 40; ++i) junk += "x\n";
  client.Send(junk);
  bool closed = false;
  const std::string replies = client.ReadToEnd(3000, &closed);
  EXPECT_TRUE(closed);
  int answered = 0;
  for (std::size_t at = replies.find("HTTP/1.1 501"); at != std::string::npos;
       at = replies.find("HTTP/1.1 501", at + 1)) {
    ++answered;
  }
  EXPECT_EQ(answered, 10);

  // A good request in between starts the count again.
  HttpTestClient mixed(port_);
  std::string requests;
  for (int i = 0; i < 9; ++i) requests += "x\n";
  requests += "GET /index.html HTTP/1.1\r\nHost: t\r\n\r\n";
  for (int i = 0; i < 9; ++i) requests += "x\n";
  requests += "GET /index.html HTTP/1.1\r\nHost: t\r\n\r\n";
  mixed.Send(requests);
  const std::string mixedReplies = mixed.ReadToEnd(1500, &closed);
  EXPECT_FALSE(closed);
  EXPECT_NE(mixedReplies.rfind(kPage), std::string::npos);
  EXPECT_EQ(mixedReplies.size() - mixedReplies.rfind(kPage), std::string(kPage).size());
  ExpectNormalClientServed();
}

TEST_F(HostileClients, AFailingAcceptBacksOffAndIsReportedOnce) {
  StartServer();
  server().logs().display.Clear();
  // A client whose connection waits in the queue the server cannot take.
  std::vector<std::unique_ptr<HttpTestClient>> waiting;
  std::vector<int> taken;
  if (!ExhaustDescriptors(4, &taken)) {
    GTEST_SKIP() << "no per-process descriptor limit to run out of on this platform";
  }
  // One free descriptor for the client's own socket, none for the server.
  ASSERT_FALSE(taken.empty());
  CloseDescriptorForTest(taken.back());
  taken.pop_back();
  waiting.push_back(std::make_unique<HttpTestClient>(port_));
  const bool allConnected = waiting[0]->IsConnected();

  const int64_t cpuBefore = CpuMilliseconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  const int64_t cpuSpent = CpuMilliseconds() - cpuBefore;
  ReleaseDescriptors(&taken);

  ASSERT_TRUE(allConnected);
  EXPECT_LT(cpuSpent, 300) << "the accept loop spins";
  int reports = 0;
  for (const DisplayLine& line : server().logs().display.AllLines()) {
    reports += line.kind == 0 && line.text.find("Cannot accept connections") != std::string::npos;
  }
  EXPECT_EQ(reports, 1);
  // The queued clients are taken once descriptors are back.
  for (auto& client : waiting) {
    client->Send("GET /index.html HTTP/1.1\r\nHost: t\r\n\r\n");
    EXPECT_EQ(BodyOf(client->ReadResponse(false, 2000)), kPage);
  }
  ExpectNormalClientServed();
}

}  // namespace
