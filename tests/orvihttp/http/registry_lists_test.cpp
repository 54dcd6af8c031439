#include <gtest/gtest.h>

#include "orvihttp/http/client_registry.h"
#include "orvihttp/http/download_shares.h"
#include "orvihttp/http/ip_blacklist.h"
#include "orvihttp/logging/display_queue.h"

namespace {

class DisplayQueue : public ::testing::Test {
 protected:
  void SetUp() override { ClearDisplayLines(); }
  void TearDown() override { DestroyClientRegistry(); }
};

TEST_F(DisplayQueue, KeepsKindAndTheFirst255Characters) {
  PostLogLine(LogLineKind::Answered, std::string(300, 'x'));
  PostLogLine(LogLineKind::Failed, "short");
  std::vector<DisplayLine> lines = DisplayLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].kind, 2u);
  EXPECT_EQ(lines[0].text, std::string(255, 'x'));
  EXPECT_EQ(lines[1].kind, 3u);
  EXPECT_EQ(lines[1].text, "short");
  ClearDisplayLines();
  EXPECT_TRUE(DisplayLines().empty());
}

TEST_F(DisplayQueue, ReadersFollowByLineNumber) {
  std::vector<DisplayLine> shown;
  uint64_t next = CopyDisplayLinesFrom(0, &shown);
  EXPECT_EQ(next, 0u);
  PostLogLine(LogLineKind::ListenerEvent, "a");
  PostLogLine(LogLineKind::ListenerEvent, "b");
  next = CopyDisplayLinesFrom(next, &shown);
  PostLogLine(LogLineKind::ListenerEvent, "c");
  next = CopyDisplayLinesFrom(next, &shown);
  EXPECT_EQ(next, 3u);
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[2].text, "c");
}

TEST_F(DisplayQueue, DropsOnlyTheOldestLinesWhenFarTooLong) {
  for (int i = 0; i < 20005; ++i) PostLogLine(LogLineKind::Answered, std::to_string(i));
  std::vector<DisplayLine> lines = DisplayLines();
  ASSERT_EQ(lines.size(), 20000u);
  EXPECT_EQ(lines.front().text, "5");
  EXPECT_EQ(lines.back().text, "20004");
  // A reader that had seen 3 lines gets the oldest line still kept onward.
  std::vector<DisplayLine> rest;
  EXPECT_EQ(CopyDisplayLinesFrom(3, &rest), 20005u);
  ASSERT_EQ(rest.size(), 20000u);
  EXPECT_EQ(rest.front().text, "5");
  rest.clear();
  EXPECT_EQ(CopyDisplayLinesFrom(20003, &rest), 20005u);
  ASSERT_EQ(rest.size(), 2u);
  EXPECT_EQ(rest.front().text, "20003");
}

TEST(IpBlacklist, KeepsOneEntryPerAddressInOrder) {
  BanAddress("10.0.0.2");
  BanAddress("10.0.0.1");
  BanAddress("10.0.0.2");
  EXPECT_EQ(BannedAddresses(), (std::vector<std::string>{"10.0.0.2", "10.0.0.1"}));
  EXPECT_TRUE(IsAddressBanned("10.0.0.1"));
  EXPECT_FALSE(IsAddressBanned("10.0.0.10"));
  UnbanAddress("10.0.0.9");
  EXPECT_EQ(BannedAddresses().size(), 2u);
  UnbanAddress("10.0.0.2");
  EXPECT_EQ(BannedAddresses(), (std::vector<std::string>{"10.0.0.1"}));
  DestroyIpBlacklist();
  EXPECT_TRUE(BannedAddresses().empty());
}

TEST(ClientRegistry, EmptyRegistryAnswersQuietly) {
  KickClient(3);
  MarkClientFinished(3);
  RebalanceDownloads(100);
  EXPECT_EQ(PeerAddressOf(0), "");
  EXPECT_TRUE(GetClients().empty());
  EXPECT_EQ(LiveClientCount(), 0u);
  DestroyClientRegistry();
}

}  // namespace
