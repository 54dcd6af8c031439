#include "orvihttp/http/bandwidth_share.h"

#include <gtest/gtest.h>

namespace {

BandwidthShare Downloading(uint32_t kilobytesPerSecond, int32_t ceiling) {
  BandwidthShare share;
  share.currentRate = kilobytesPerSecond * 1024;
  share.rateCeiling = ceiling;
  share.allowedRate = ceiling;
  return share;
}

TEST(ShareBandwidth, ExcessIsCutEvenly) {
  std::vector<BandwidthShare> shares = {Downloading(25, 30), Downloading(20, 30)};
  ShareBandwidth(30, shares);
  EXPECT_EQ(shares[0].allowedRate, 18);  // 45 is 15 over: 15 / 2 = 7 each
  EXPECT_EQ(shares[1].allowedRate, 13);
}

TEST(ShareBandwidth, SpareIsGivenEvenlyUpToTheCeiling) {
  std::vector<BandwidthShare> shares = {Downloading(10, 30), Downloading(5, 30)};
  ShareBandwidth(30, shares);
  EXPECT_EQ(shares[0].allowedRate, 17);  // spare (30 - 15) / 2 = 7
  EXPECT_EQ(shares[1].allowedRate, 12);

  std::vector<BandwidthShare> capped = {Downloading(10, 12), Downloading(5, 30)};
  ShareBandwidth(30, capped);
  EXPECT_EQ(capped[0].allowedRate, 12);
  EXPECT_EQ(capped[1].allowedRate, 12);
}

TEST(ShareBandwidth, RatesAreRoundedDownToWholeKilobytes) {
  BandwidthShare share;
  share.currentRate = 20 * 1024 + 1023;
  share.rateCeiling = 20;
  share.allowedRate = 20;
  std::vector<BandwidthShare> shares = {share};
  ShareBandwidth(20, shares);  // counts as exactly 20: nothing changes
  EXPECT_EQ(shares[0].allowedRate, 20);
}

TEST(ShareBandwidth, NoOneGoesBelowOneKilobyteWhenOverTheLimit) {
  BandwidthShare idle;  // not downloading
  std::vector<BandwidthShare> shares = {Downloading(100, 10), Downloading(2, 10), idle};
  ShareBandwidth(10, shares);
  EXPECT_EQ(shares[0].allowedRate, 54);  // 102 is 92 over: 46 each
  EXPECT_EQ(shares[1].allowedRate, 1);
  EXPECT_EQ(shares[2].allowedRate, 1);
}

TEST(ShareBandwidth, NoDownloadGetsAZeroShareUnderTheLimit) {
  // 31 downloads at 64 KB/s and one measured at 900 B/s (0 whole KB): 1,984
  // of 2,000, so 16 KB/s spare, which is less than one KB/s for each.
  std::vector<BandwidthShare> shares(31, Downloading(64, 2000));
  BandwidthShare slow = Downloading(0, 2000);
  slow.currentRate = 900;
  shares.push_back(slow);
  ShareBandwidth(2000, shares);
  EXPECT_EQ(shares[0].allowedRate, 64);
  EXPECT_EQ(shares[31].allowedRate, 1);  // 0 would lift its cap
}

TEST(ShareBandwidth, NothingChangesWithoutCapOrDownloads) {
  std::vector<BandwidthShare> shares = {Downloading(50, 0), BandwidthShare{}};
  ShareBandwidth(0, shares);
  EXPECT_EQ(shares[0].allowedRate, 0);
  std::vector<BandwidthShare> idle = {BandwidthShare{}, BandwidthShare{}};
  ShareBandwidth(30, idle);
  EXPECT_EQ(idle[0].allowedRate, 0);
  EXPECT_EQ(idle[1].allowedRate, 0);
}

TEST(ShareBandwidth, ZeroCeilingMeansNoCeiling) {
  std::vector<BandwidthShare> shares = {Downloading(1, 0)};
  ShareBandwidth(500, shares);
  EXPECT_EQ(shares[0].allowedRate, 500);
}

}  // namespace
