// The settings snapshot the server's threads read: current after every change
// of the store, shared while nothing changed, and never older than what a
// thread already saw.
#include "orvihttp/config/server_settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "foundation/setting_key.h"
#include "foundation/settings.h"
#include "orvihttp/config/server_keys.h"

namespace {

TEST(ServerSettingsSnapshot, FollowsTheStoreAndIsSharedWhileUnchanged) {
  DestroySettings();
  SetSetting(kPort, 8080);
  SetSetting(kMaxDown, 0);
  SetSetting(kLogPath, "first.log");
  SetSetting(kPhpEnable, true);
  std::shared_ptr<const ServerSettings> first = CurrentServerSettings();
  EXPECT_EQ(first->port, 8080);
  EXPECT_EQ(first->logPath, "first.log");
  EXPECT_TRUE(first->phpEnable);
  EXPECT_FALSE(first->dirView) << "a key never set reads as the store's empty value";
  EXPECT_EQ(CurrentServerSettings(), first) << "nothing changed: the same snapshot";

  // An Apply writes the store; the next request sees it, the running one
  // keeps what it started with.
  ApplySettings({Setting{"MaxDown", Setting::Type::Int, 64, false, "", true}});
  std::shared_ptr<const ServerSettings> second = CurrentServerSettings();
  EXPECT_EQ(second->maxDown, 64);
  EXPECT_EQ(first->maxDown, 0);

  LoadSettingsText("# Dovetab v2\r\n\r\nPort = 9090\r\n");
  EXPECT_EQ(CurrentServerSettings()->port, 9090);
  DestroySettings();
  EXPECT_EQ(CurrentServerSettings()->port, 0) << "a destroyed store is an empty one";
}

TEST(ServerSettingsSnapshot, PhpModeFastCgiInAnyCaseKeepsProgramsRunning) {
  DestroySettings();
  EXPECT_FALSE(CurrentServerSettings()->phpFastCgi) << "no PHPMode: one program per request";
  SetSetting(kPhpMode, "fastCGI");
  EXPECT_TRUE(CurrentServerSettings()->phpFastCgi);
  SetSetting(kPhpMode, kPhpModeCgi);
  EXPECT_FALSE(CurrentServerSettings()->phpFastCgi);
  DestroySettings();
}

TEST(ServerSettingsSnapshot, ReadersNeverGoBackWhileTheStoreChanges) {
  DestroySettings();
  SetSetting(kMaxUsers, 0);
  constexpr int kLast = 2000;
  std::atomic<bool> wentBack{false};
  std::vector<std::thread> readers;
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([&] {
      int seen = 0;
      while (seen < kLast) {
        const int now = CurrentServerSettings()->maxUsers;
        if (now < seen) wentBack = true;
        seen = now;
      }
    });
  }
  for (int value = 1; value <= kLast; ++value) SetSetting(kMaxUsers, value);
  for (std::thread& reader : readers) reader.join();
  EXPECT_FALSE(wentBack);
  EXPECT_EQ(CurrentServerSettings()->maxUsers, kLast);
  DestroySettings();
}

}  // namespace
