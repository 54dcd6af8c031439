// The message loop of a program without a window system: what it runs, in
// which order, and when a sender stops waiting for it.
#include "desktop/message_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

TEST(MessageLoop, RunsPostedTasksInOrderAndSendsSynchronously) {
  MessageLoop loop;
  std::vector<int> order;
  std::thread sender;
  std::optional<intptr_t> sent_result;
  loop.Post([&] { order.push_back(1); });
  loop.Post([&] {
    order.push_back(2);
    sender = std::thread([&] {
      sent_result = loop.Send([&] {
        order.push_back(3);
        return intptr_t{42};
      });
      loop.Post([&] { loop.Quit(5); });
    });
  });
  EXPECT_EQ(loop.Run(), 5);
  sender.join();
  ASSERT_TRUE(sent_result.has_value());
  EXPECT_EQ(*sent_result, 42);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  // Once the loop has ended, sends are refused instead of blocking forever.
  EXPECT_FALSE(loop.Send([] { return intptr_t{1}; }).has_value());
}

TEST(MessageLoop, SendFromTheLoopThreadRunsInline) {
  MessageLoop loop;
  loop.Post([&] {
    auto result = loop.Send([] { return intptr_t{9}; });
    loop.Quit(result.value_or(-1));
  });
  EXPECT_EQ(loop.Run(), 9);
}

TEST(MessageLoop, TimersFireUntilKilled) {
  MessageLoop loop;
  int ticks = 0;
  loop.SetTimer(192, 10, [&] {
    if (++ticks == 3) {
      loop.KillTimer(192);
      loop.SetTimer(7, 30, [&] { loop.Quit(ticks); });
    }
  });
  EXPECT_EQ(loop.Run(), 3);
}

TEST(MessageLoop, SenderGivesUpWhenAsked) {
  MessageLoop loop;
  std::atomic<bool> give_up{false};
  std::optional<intptr_t> result = intptr_t{0};
  std::thread sender(
      [&] { result = loop.Send([] { return intptr_t{1}; }, [&] { return give_up.load(); }); });
  std::this_thread::sleep_for(30ms);
  give_up = true;
  sender.join();
  EXPECT_FALSE(result.has_value());
}

}  // namespace
