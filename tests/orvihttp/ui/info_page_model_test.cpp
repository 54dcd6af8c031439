// What the Info page shows for a registry snapshot, and its kick and ban on the
// real engine with real loopback clients.
#include "orvihttp/ui/info_page_model.h"

#include <gtest/gtest.h>

#include <ctime>

#include "orvihttp/http/client_registry.h"
#include "orvihttp/http/ip_blacklist.h"
#include "orvihttp/http/listener.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/orvihttp/http/server_fixture.h"

namespace {

ClientInfo Client(uint32_t id, const std::string& address, int64_t connectTime = 0,
                  const std::string& activity = "", uint32_t rate = 0) {
  ClientInfo client;
  client.connectionId = id;
  client.peerAddress = address;
  client.connectTime = connectTime;
  client.currentActivity = activity;
  client.currentRate = rate;
  return client;
}

TEST(InfoPageModel, LinesSkipClientsWithoutAddressAndStillNameTheRightClient) {
  std::vector<ClientInfo> clients = {Client(4, ""), Client(5, "10.0.0.7"), Client(6, "10.0.0.7"),
                                     Client(7, ""), Client(8, "10.0.0.9")};
  std::vector<std::string> rows = ClientListRows(clients);
  ASSERT_EQ(rows, (std::vector<std::string>{"10.0.0.7", "10.0.0.7", "10.0.0.9"}));

  // Two equal lines each act on their own client.
  EXPECT_EQ(ClientOnLine(clients, rows, 0)->connectionId, 5u);
  EXPECT_EQ(ClientOnLine(clients, rows, 1)->connectionId, 6u);
  EXPECT_EQ(ClientOnLine(clients, rows, 2)->connectionId, 8u);
  EXPECT_FALSE(ClientOnLine(clients, rows, -1)) << "no selection";
  EXPECT_FALSE(ClientOnLine(clients, rows, 3));

  // The registry moved on since the list was filled: the line acts on nobody.
  std::vector<ClientInfo> later = {Client(6, "10.0.0.7"), Client(8, "10.0.0.9")};
  EXPECT_EQ(ClientOnLine(later, rows, 0)->connectionId, 6u);
  EXPECT_FALSE(ClientOnLine(later, rows, 1)) << "line 1 showed 10.0.0.7, the entry is 10.0.0.9";
  EXPECT_FALSE(ClientOnLine(later, rows, 2));
}

TEST(InfoPageModel, LockedOutAddressesMakeOneLineAndNoneMakeNothing) {
  EXPECT_EQ(LockedOutText({}), "");
  EXPECT_EQ(LockedOutText({"10.0.0.5"}), "Locked out of sign-in: 10.0.0.5");
  EXPECT_EQ(LockedOutText({"10.0.0.5", "10.0.0.9"}), "Locked out of sign-in: 10.0.0.5, 10.0.0.9");
}

TEST(InfoPageModel, DetailsServerActivityAndTotal) {
  ClientDetails idle = DetailsOf(Client(1, "a", 1000), 1065);
  EXPECT_EQ(idle.connectionTime, "1min 5s");
  EXPECT_EQ(idle.activity, "Idle");
  EXPECT_EQ(idle.bandwidth, "");
  ClientDetails busy = DetailsOf(Client(1, "a", 1000, "/big.iso", 1536), 1000);
  EXPECT_EQ(busy.connectionTime, "0s");
  EXPECT_EQ(busy.activity, "Downloading /big.iso");
  EXPECT_EQ(busy.bandwidth, "1.50 KB/s");

  ServerActivity running = ServerActivityOf(true, 1000, 91000);
  EXPECT_EQ(running.status, "Server is running");
  EXPECT_EQ(running.uptime, "1 days 1h 0s");
  EXPECT_FALSE(running.startEnabled);
  EXPECT_TRUE(running.stopEnabled);
  ServerActivity stopped = ServerActivityOf(false, 1000, 91000);
  EXPECT_EQ(stopped.status, "Server is not running");
  EXPECT_EQ(stopped.uptime, "");
  EXPECT_TRUE(stopped.startEnabled);
  EXPECT_FALSE(stopped.stopEnabled);

  EXPECT_EQ(TotalBandwidthText({}), "0.00 KB/s");
  // Clients without an address count too; the sum wraps at 2^32.
  EXPECT_EQ(TotalBandwidthText({Client(1, "", 0, "x", 1048576), Client(2, "b", 0, "y", 524288)}),
            "1.50 MB/s");
  EXPECT_EQ(TotalBandwidthText({Client(1, "a", 0, "x", 0xFFFFFC00u), Client(2, "b", 0, "y", 2048)}),
            "1.00 KB/s");

  EXPECT_EQ(KickQuestion("10.0.0.7"), "Really kick client '10.0.0.7'?");
  EXPECT_EQ(BanQuestion("10.0.0.7"), "Really ban IP '10.0.0.7'?");
}

class InfoPageActions : public ServerTest {};

TEST_F(InfoPageActions, BanKicksTheClientListsItsAddressOnceAndRefusesItAfterwards) {
  StartServer();
  HttpTestClient first(port_);
  HttpTestClient second(port_);
  ASSERT_TRUE(first.IsConnected());
  ASSERT_TRUE(second.IsConnected());
  std::vector<ClientInfo> clients;
  ASSERT_TRUE(WaitFor([&] { return (clients = server().clients().Clients()).size() == 2; }, 5000));
  std::vector<std::string> rows = ClientListRows(clients);
  ASSERT_EQ(rows, (std::vector<std::string>{"127.0.0.1", "127.0.0.1"}));

  EXPECT_EQ(BanConnection(server(), ClientOnLine(clients, rows, 0)->connectionId), "127.0.0.1");
  EXPECT_TRUE(first.ClosedWithoutData(3000)) << "a ban kicks the client";
  EXPECT_EQ(BanConnection(server(), ClientOnLine(clients, rows, 1)->connectionId), "127.0.0.1");
  EXPECT_TRUE(second.ClosedWithoutData(3000));
  EXPECT_EQ(server().blacklist().Addresses(), std::vector<std::string>{"127.0.0.1"})
      << "one row per address";

  HttpTestClient refused(port_);
  EXPECT_TRUE(refused.ClosedWithoutData(6000)) << "a banned address is not served";
  EXPECT_TRUE(WaitFor([this] { return server().clients().LiveCount() == 0; }, 3000));

  // A client that has gone has no address: its ban is dropped.
  EXPECT_EQ(BanConnection(server(), clients[0].connectionId), "");
  EXPECT_EQ(server().blacklist().Addresses().size(), 1u);
}

TEST_F(InfoPageActions, KickClosesOnlyTheChosenClient) {
  StartServer();
  HttpTestClient first(port_);
  HttpTestClient second(port_);
  std::vector<ClientInfo> clients;
  ASSERT_TRUE(WaitFor([&] { return (clients = server().clients().Clients()).size() == 2; }, 5000));
  std::vector<std::string> rows = ClientListRows(clients);
  server().clients().Kick(ClientOnLine(clients, rows, 1)->connectionId);
  EXPECT_TRUE(second.ClosedWithoutData(3000));
  ASSERT_TRUE(first.Send("GET / HTTP/1.0\r\n\r\n"));
  std::string answer = first.ReadResponse();
  EXPECT_EQ(answer.rfind("HTTP/1.", 0), 0u) << "the other one is served: " << answer;
}

}  // namespace
