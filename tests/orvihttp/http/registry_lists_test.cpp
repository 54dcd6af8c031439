#include <gtest/gtest.h>

#include "orvihttp/http/server.h"

namespace {

class DisplayLines : public ::testing::Test {
 protected:
  DisplayQueue queue_;
};

TEST_F(DisplayLines, KeepsKindAndTheFirst255Characters) {
  queue_.Post(LogLineKind::Answered, std::string(300, 'x'));
  queue_.Post(LogLineKind::Failed, "short");
  std::vector<DisplayLine> lines = queue_.AllLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].kind, 2u);
  EXPECT_EQ(lines[0].text, std::string(255, 'x'));
  EXPECT_EQ(lines[1].kind, 3u);
  EXPECT_EQ(lines[1].text, "short");
  queue_.Clear();
  EXPECT_TRUE(queue_.AllLines().empty());
}

TEST_F(DisplayLines, ReadersFollowByLineNumber) {
  std::vector<DisplayLine> shown;
  uint64_t next = queue_.CopyFrom(0, &shown);
  EXPECT_EQ(next, 0u);
  queue_.Post(LogLineKind::ListenerEvent, "a");
  queue_.Post(LogLineKind::ListenerEvent, "b");
  next = queue_.CopyFrom(next, &shown);
  queue_.Post(LogLineKind::ListenerEvent, "c");
  next = queue_.CopyFrom(next, &shown);
  EXPECT_EQ(next, 3u);
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[2].text, "c");
}

TEST_F(DisplayLines, DropsOnlyTheOldestLinesWhenFarTooLong) {
  for (int i = 0; i < 20005; ++i) queue_.Post(LogLineKind::Answered, std::to_string(i));
  std::vector<DisplayLine> lines = queue_.AllLines();
  ASSERT_EQ(lines.size(), 20000u);
  EXPECT_EQ(lines.front().text, "5");
  EXPECT_EQ(lines.back().text, "20004");
  // A reader that had seen 3 lines gets the oldest line still kept onward.
  std::vector<DisplayLine> rest;
  EXPECT_EQ(queue_.CopyFrom(3, &rest), 20005u);
  ASSERT_EQ(rest.size(), 20000u);
  EXPECT_EQ(rest.front().text, "5");
  rest.clear();
  EXPECT_EQ(queue_.CopyFrom(20003, &rest), 20005u);
  ASSERT_EQ(rest.size(), 2u);
  EXPECT_EQ(rest.front().text, "20003");
}

TEST(IpBlacklist, KeepsOneEntryPerAddressInOrder) {
  IpBlacklist blacklist;
  blacklist.Ban("10.0.0.2");
  blacklist.Ban("10.0.0.1");
  blacklist.Ban("10.0.0.2");
  EXPECT_EQ(blacklist.Addresses(), (std::vector<std::string>{"10.0.0.2", "10.0.0.1"}));
  EXPECT_TRUE(blacklist.IsBanned("10.0.0.1"));
  EXPECT_FALSE(blacklist.IsBanned("10.0.0.10"));
  blacklist.Unban("10.0.0.9");
  EXPECT_EQ(blacklist.Addresses().size(), 2u);
  blacklist.Unban("10.0.0.2");
  EXPECT_EQ(blacklist.Addresses(), (std::vector<std::string>{"10.0.0.1"}));
  blacklist.Unban("10.0.0.1");
  EXPECT_TRUE(blacklist.Addresses().empty());
}

TEST(ClientRegistry, EmptyRegistryAnswersQuietly) {
  Server server([] { return std::make_shared<const ServerSettings>(); });
  server.clients().Kick(3);
  server.clients().MarkFinished(3);
  server.downloads().Rebalance(100);
  EXPECT_EQ(server.clients().PeerAddressOf(0), "");
  EXPECT_TRUE(server.clients().Clients().empty());
  EXPECT_EQ(server.clients().LiveCount(), 0u);
  server.StopServing();
}

}  // namespace
