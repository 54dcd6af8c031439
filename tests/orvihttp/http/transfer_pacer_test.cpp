#include "orvihttp/http/transfer_pacer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A clock that only moves when told to or when the pacer sleeps.
struct FakeTime {
  uint32_t now = 0;
  std::vector<uint32_t> sleeps;
  bool wakeOnSleep = false;

  TransferPacer Pacer(int32_t rate) {
    return TransferPacer(
        rate, [this] { return now; },
        [this](uint32_t ms) {
          sleeps.push_back(ms);
          now += ms;
          return !wakeOnSleep;
        });
  }
};

// Sends as the connection does for `durationMs` of fake time, each step
// taking `stepMs` on the wire; the bytes sent.
uint64_t Transfer(FakeTime& time, TransferPacer& pacer, uint32_t durationMs, uint32_t stepMs) {
  const uint32_t end = time.now + durationMs;
  uint64_t sent = 0;
  while (static_cast<int32_t>(time.now - end) < 0) {
    const uint64_t step = pacer.StepSize(64 * 1024);
    time.now += stepMs;
    sent += step;
    pacer.Sent(step);
    if (!pacer.WaitForSlot()) break;
  }
  return sent;
}

TEST(TransferPacer, CapIsSpentInHundredMillisecondSlots) {
  FakeTime time;
  TransferPacer pacer = time.Pacer(20);
  EXPECT_EQ(pacer.StepSize(64 * 1024), 2048u);  // 20 KB/s is 2048 bytes per slot
  EXPECT_EQ(pacer.StepSize(1000), 1000u);

  // A fast network: each slot's budget goes out at once, then a sleep to the
  // slot's end, so one second carries ten slots of 2048 bytes.
  EXPECT_EQ(Transfer(time, pacer, 1000, 0), 10u * 2048u);
  EXPECT_EQ(time.sleeps, std::vector<uint32_t>(10, 100u));

  // Part of a slot's budget spent: the rest is what the next step may send.
  FakeTime partial;
  TransferPacer second = partial.Pacer(20);
  second.Sent(500);
  EXPECT_TRUE(second.WaitForSlot());
  EXPECT_TRUE(partial.sleeps.empty());
  EXPECT_EQ(second.StepSize(64 * 1024), 1548u);
}

TEST(TransferPacer, WithoutCapNothingWaits) {
  for (int32_t rate : {0, -5}) {
    FakeTime time;
    TransferPacer pacer = time.Pacer(rate);
    EXPECT_EQ(pacer.StepSize(64 * 1024), 64u * 1024u);
    EXPECT_EQ(Transfer(time, pacer, 500, 10), 50u * 64u * 1024u);
    EXPECT_TRUE(time.sleeps.empty());
  }
}

TEST(TransferPacer, SlowNetworkNeverSleepsAndRestartsTheSlots) {
  FakeTime time;
  TransferPacer pacer = time.Pacer(20);
  // Each 2048-byte step takes 150 ms: always behind the slot, so no sleeps.
  EXPECT_EQ(Transfer(time, pacer, 600, 150), 4u * 2048u);
  EXPECT_TRUE(time.sleeps.empty());
  // Having caught up, a fast step waits only to the end of the restarted
  // slot (100 ms after the last late step), not for the slots it missed.
  pacer.SetAllowedRate(20);
  const uint32_t lastLate = time.now;
  pacer.Sent(2048);
  time.now = lastLate + 30;
  EXPECT_TRUE(pacer.WaitForSlot());
  EXPECT_EQ(time.sleeps, std::vector<uint32_t>{70u});
}

TEST(TransferPacer, RateIsMeasuredEveryHundredMillisecondsAndSmoothed) {
  FakeTime time;
  TransferPacer pacer = time.Pacer(0);
  time.now = 50;
  EXPECT_FALSE(pacer.Sent(10000));  // too early to measure
  EXPECT_EQ(pacer.Rate(), 0u);
  time.now = 200;
  EXPECT_TRUE(pacer.Sent(10000));  // 20000 bytes in 200 ms: 100000 B/s, halved with 0
  EXPECT_EQ(pacer.Rate(), 50000u);
  time.now = 300;
  EXPECT_TRUE(pacer.Sent(3000));  // 30000 B/s, averaged with 50000
  EXPECT_EQ(pacer.Rate(), 40000u);
  time.now = 399;
  EXPECT_FALSE(pacer.Sent(1));
  EXPECT_EQ(pacer.Rate(), 40000u);
}

TEST(TransferPacer, ShrunkShareCarriesTheOvershootIntoLaterSlots) {
  FakeTime time;
  TransferPacer pacer = time.Pacer(100);
  EXPECT_EQ(pacer.StepSize(64 * 1024), 10240u);
  pacer.Sent(5000);
  pacer.SetAllowedRate(10);  // 1024 bytes per slot from now on
  EXPECT_TRUE(pacer.WaitForSlot());
  // 5000 bytes fill four slots of 1024 and leave 904 used in the fifth.
  EXPECT_EQ(time.sleeps, std::vector<uint32_t>(4, 100u));
  EXPECT_EQ(pacer.StepSize(64 * 1024), 120u);

  // A share of 0 lifts the cap; a share granted again starts with a fresh slot.
  pacer.SetAllowedRate(0);
  EXPECT_EQ(pacer.StepSize(64 * 1024), 64u * 1024u);
  pacer.Sent(100000);
  EXPECT_TRUE(pacer.WaitForSlot());
  pacer.SetAllowedRate(10);
  EXPECT_EQ(pacer.StepSize(64 * 1024), 1024u);
}

TEST(TransferPacer, SteepCutRepaysAtMostOneSecondOfTheNewShare) {
  FakeTime time;
  TransferPacer pacer = time.Pacer(20480);  // 2 MiB per slot
  pacer.Sent(pacer.StepSize(4 * 1024 * 1024));
  pacer.SetAllowedRate(1);  // 102 bytes per slot: 2 MiB would take an hour
  EXPECT_TRUE(pacer.WaitForSlot());
  EXPECT_EQ(time.sleeps, std::vector<uint32_t>(10, 100u));
  EXPECT_EQ(pacer.StepSize(64 * 1024), 102u);
}

TEST(TransferPacer, WakeEndsTheWaitAndClockMayWrap) {
  FakeTime time;
  time.now = 0xFFFFFFF0u;  // the 32-bit clock wraps 16 ms from here
  TransferPacer pacer = time.Pacer(20);
  pacer.Sent(2048);
  EXPECT_TRUE(pacer.WaitForSlot());
  EXPECT_EQ(time.sleeps, std::vector<uint32_t>{100u});
  EXPECT_EQ(time.now, 0x54u);

  time.wakeOnSleep = true;
  pacer.Sent(2048);
  EXPECT_FALSE(pacer.WaitForSlot());
}

}  // namespace
