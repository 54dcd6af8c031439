// The settings window's life cycle between the host's thread, the status
// thread and the plugin's stop, with windows that count themselves.
#include "orvihttp/plugin/settings_window_owner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "foundation/settings.h"

namespace {

std::atomic<int> live_windows{0};
std::atomic<int> made_windows{0};
std::atomic<int> fronted_windows{0};
std::atomic<int> deleted_while_running{0};

// Behaves as the real window does towards its owner: open from construction
// until its thread ends; deleting it closes it and waits.
class CountedWindow final : public SettingsWindowObject {
 public:
  explicit CountedWindow(int lifetimeMs) {
    ++live_windows;
    ++made_windows;
    thread_ = std::thread([this, lifetimeMs] {
      std::unique_lock<std::mutex> lock(mutex_);
      if (lifetimeMs >= 0) {
        closed_.wait_for(lock, std::chrono::milliseconds(lifetimeMs), [this] { return close_; });
      } else {
        closed_.wait(lock, [this] { return close_; });
      }
      open_ = false;
      ended_ = true;
    });
  }
  ~CountedWindow() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      close_ = true;
    }
    closed_.notify_all();
    thread_.join();
    if (!ended_) ++deleted_while_running;
    --live_windows;
  }
  void BringToFront() override { ++fronted_windows; }
  bool IsOpen() const override { return open_; }
  // The user closes the window.
  void CloseByUser() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      close_ = true;
    }
    closed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable closed_;
  bool close_ = false;
  bool ended_ = false;
  std::atomic<bool> open_{true};
  std::thread thread_;
};

class SettingsWindowOwnerTest : public testing::Test {
 protected:
  void SetUp() override {
    live_windows = made_windows = fronted_windows = deleted_while_running = 0;
  }
  void TearDown() override { DestroySettings(); }
};

bool WaitForClosed(SettingsWindowOwner& owner, int milliseconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (owner.WindowOpen()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

TEST_F(SettingsWindowOwnerTest, OpenTwiceReopenAfterCloseAndFreeByStatusThread) {
  CountedWindow* current = nullptr;
  SettingsWindowOwner owner([&] {
    auto window = std::make_unique<CountedWindow>(-1);
    current = window.get();
    return window;
  });

  owner.Open();
  EXPECT_TRUE(owner.WindowOpen());
  EXPECT_TRUE(owner.HasWindow());
  owner.Open();
  EXPECT_EQ(made_windows, 1) << "a second choice only brings the window forward";
  EXPECT_EQ(fronted_windows, 1);

  // Closed by the user and chosen again at once: the old object goes first.
  current->CloseByUser();
  ASSERT_TRUE(WaitForClosed(owner, 2000));
  EXPECT_TRUE(owner.HasWindow());
  owner.FreeIfClosed();
  EXPECT_EQ(live_windows, 0) << "the status thread frees a closed window";
  EXPECT_FALSE(owner.HasWindow());

  owner.Open();
  current->CloseByUser();
  ASSERT_TRUE(WaitForClosed(owner, 2000));
  owner.Open();
  EXPECT_EQ(made_windows, 3);
  EXPECT_EQ(live_windows, 1);
  EXPECT_TRUE(owner.WindowOpen());

  // An open window survives the status thread and goes with the plugin.
  owner.FreeIfClosed();
  EXPECT_EQ(live_windows, 1);
  owner.CloseAndFree();
  EXPECT_EQ(live_windows, 0);
  EXPECT_FALSE(owner.WindowOpen());
  EXPECT_FALSE(owner.HasWindow());
  EXPECT_EQ(deleted_while_running, 0);
}

TEST_F(SettingsWindowOwnerTest, ThreeDeletersRacingFreeEachWindowOnceAfterItsThread) {
  // Windows that close themselves after a few milliseconds, opened again and
  // again while a status thread frees closed ones, then the plugin stops.
  SettingsWindowOwner owner([] { return std::make_unique<CountedWindow>(2); });
  std::atomic<bool> done{false};
  std::thread status([&] {
    while (!done) {
      owner.FreeIfClosed();
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
  });
  int maxLive = 0;
  for (int round = 0; round < 300; ++round) {
    owner.Open();
    maxLive = std::max(maxLive, live_windows.load());
    std::this_thread::sleep_for(std::chrono::microseconds(round % 7 * 500));
  }
  done = true;
  status.join();
  owner.CloseAndFree();

  EXPECT_LE(maxLive, 1);
  EXPECT_GT(made_windows, 10);
  EXPECT_EQ(live_windows, 0) << "no window object outlives the plugin";
  EXPECT_EQ(deleted_while_running, 0);
  EXPECT_FALSE(owner.HasWindow());
}

TEST_F(SettingsWindowOwnerTest, WithoutWindowsNothingIsHeld) {
  SettingsWindowOwner owner([] { return std::unique_ptr<SettingsWindowObject>(); });
  testing::internal::CaptureStderr();
  owner.Open();
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("OrviHTTP.ini"), std::string::npos) << said;
  EXPECT_FALSE(owner.WindowOpen());
  EXPECT_FALSE(owner.HasWindow());
}

}  // namespace
