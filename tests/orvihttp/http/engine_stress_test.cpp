#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "foundation/settings.h"
#include "orvihttp/content/virtual_directory.h"
#include "orvihttp/http/client_registry.h"
#include "orvihttp/http/download_shares.h"
#include "orvihttp/http/ip_blacklist.h"
#include "orvihttp/http/listener.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/orvihttp/http/open_descriptors.h"
#include "tests/orvihttp/http/server_fixture.h"

namespace {

constexpr int kClients = 200;

struct ClientTally {
  std::atomic<int> good{0};
  std::atomic<int> bad{0};
  std::atomic<int> dropped{0};
};

// One keep-alive client: fetches files in turn until `stop`, reconnecting
// whenever the server ends the connection. A response is either whole and
// right, or cut off by the connection's end; anything else is bad.
void RunClient(int port, int seed, const std::vector<std::string>& bodies,
               const std::atomic<bool>& stop, ClientTally& tally) {
  std::mt19937 random(static_cast<unsigned>(seed));
  HttpTestClient client;
  while (!stop) {
    if (!client.IsConnected() && !client.Connect(port)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    std::size_t which = random() % bodies.size();
    if (!client.Send("GET /f" + std::to_string(which) + " HTTP/1.1\r\nHost: t\r\n\r\n")) {
      client.Close();
      ++tally.dropped;
      continue;
    }
    std::string response = client.ReadResponse(false, 10000);
    if (response.empty()) {
      client.Close();
      ++tally.dropped;
      continue;
    }
    const std::string& body = bodies[which];
    bool whole = response.rfind("HTTP/1.1 200\r\n", 0) == 0 &&
                 ContentLengthOf(response) == static_cast<int64_t>(body.size()) &&
                 BodyOf(response) == body;
    if (whole) {
      ++tally.good;
    } else if (body.compare(0, BodyOf(response).size(), BodyOf(response)) == 0) {
      client.Close();  // cut off by a kick or the stop
      ++tally.dropped;
    } else {
      ++tally.bad;
      client.Close();
    }
  }
}

using EngineStress = ServerTest;

// What the settings window and the tray do to a live server: bans, a reloaded
// directory and a changed bandwidth cap, none of which may disturb a transfer.
void ChangeWhileServing(Server& server, int round) {
  server.blacklist().Ban("192.0.2." + std::to_string(round + 1));
  if (round > 0) server.blacklist().Unban("192.0.2." + std::to_string(round));
  server.directory().ReplaceTree(server.directory().CopyTree());
  const int32_t maxDown = round % 2 == 0 ? 1000000 : 0;
  SetInt("MaxDown", maxDown, true);
  server.downloads().Rebalance(maxDown);
}

TEST_F(EngineStress, ManyKeepAliveClientsWithKicksBansReloadsAndAStopInTheMiddle) {
  const int descriptorsBefore = OpenDescriptorCount();
  std::vector<std::string> bodies;
  for (int i = 0; i < 6; ++i) {
    std::string body(static_cast<std::size_t>(1000) << (i * 2), '\0');
    for (std::size_t j = 0; j < body.size(); ++j) body[j] = static_cast<char>('a' + (i + j) % 26);
    Publish("/f" + std::to_string(i), body);
    bodies.push_back(body);
  }
  StartServer();

  std::atomic<bool> stop{false};
  ClientTally tally;
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back(RunClient, port_, i, std::cref(bodies), std::cref(stop), std::ref(tally));
  }

  std::mt19937 random(42);
  for (int round = 0; round < 6; ++round) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::vector<ClientInfo> live = server().clients().Clients();
    for (int kick = 0; kick < 10 && !live.empty(); ++kick) {
      server().clients().Kick(live[random() % live.size()].connectionId);
    }
    ChangeWhileServing(server(), round);
  }
  const int goodBeforeStop = tally.good;
  EXPECT_GT(goodBeforeStop, kClients);

  // The whole engine goes, with every client in the middle of something.
  auto stopStart = std::chrono::steady_clock::now();
  StopEngine();
  EXPECT_LT(std::chrono::steady_clock::now() - stopStart, std::chrono::seconds(5));
  EXPECT_TRUE(server().clients().Clients().empty());

  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  StartServer();
  std::this_thread::sleep_for(std::chrono::seconds(4));
  EXPECT_GT(tally.good, goodBeforeStop);  // served again after the restart

  StopEngine();
  stop = true;
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(tally.bad, 0);
  EXPECT_GT(tally.dropped, 0);
  if (descriptorsBefore >= 0) {
    // Every socket and wake-up handle of the server is closed again.
    EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);
  }
}

}  // namespace
