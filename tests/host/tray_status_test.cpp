#include "host/tray_status.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "foundation/settings.h"

namespace {

constexpr IconHandle kDefaultIcon = 101;
const char kTitle[] = "Trellan v2.0.2";

struct Shown {
  IconHandle icon;
  std::string tip;
  bool operator==(const Shown&) const = default;
};

// A tray with a fake plugin list and a record of what reached the icon.
class TrayStatusTest : public testing::Test {
 protected:
  TrayStatusTest()
      : tray_(
            kDefaultIcon, kTitle,
            [this](const std::string& name) -> std::optional<int32_t> {
              auto found = names_.find(name);
              if (found == names_.end()) return std::nullopt;
              return found->second;
            },
            [this](IconHandle icon, const std::string& tip) {
              shown_.push_back({icon, tip});
            }) {
    SetBool("RotateIcon", true, true);
    SetString("StaticIcon", "", true);
  }
  ~TrayStatusTest() override { DestroySettings(); }

  void Report(int32_t pluginId, int priority, IconHandle icon, const char* tip,
              int32_t command = 0) {
    StatusRecord record = MakeStatusRecord(pluginId, icon, command, tip);
    tray_.HandleMessage(StatusPriority0 + static_cast<uint32_t>(priority), &record, sizeof record);
  }
  void Remove(int32_t pluginId) {
    StatusRecord record = MakeStatusRecord(pluginId, 0, 0, nullptr);
    tray_.HandleMessage(StatusRemove, &record, sizeof record);
  }
  Shown Now() const { return {tray_.icon(), tray_.tip()}; }

  std::map<std::string, int32_t> names_;
  std::vector<Shown> shown_;
  TrayStatus tray_;
};

TEST_F(TrayStatusTest, RotatesBetweenTwoLowReportsUntilAnUrgentOneFreezesIt) {
  Report(1, 2, 11, "one");
  Report(2, 2, 22, "two");
  EXPECT_EQ(Now(), (Shown{11, "one"}));
  tray_.RotationStep();
  EXPECT_EQ(Now(), (Shown{22, "two"}));
  tray_.RotationStep();
  EXPECT_EQ(Now(), (Shown{11, "one"}));

  Report(3, 0, 33, "urgent");
  EXPECT_EQ(Now(), (Shown{33, "urgent"}));
  tray_.RotationStep();
  tray_.RotationStep();
  EXPECT_EQ(Now(), (Shown{33, "urgent"}));
  EXPECT_EQ(tray_.List(2).front().pluginId, 1) << "frozen rotation must not reorder";

  // Moving back down resumes rotation among three.
  Report(3, 2, 33, "calm");
  EXPECT_EQ(Now(), (Shown{11, "one"}));
  tray_.RotationStep();
  EXPECT_EQ(Now(), (Shown{22, "two"}));

  Report(3, 0, 33, "urgent");
  Remove(3);
  EXPECT_EQ(Now(), (Shown{22, "two"}));
}

TEST_F(TrayStatusTest, UpdateBehindTheFrontRecordLeavesTheIconAlone) {
  Report(1, 2, 11, "one");
  Report(2, 2, 22, "two");
  size_t refreshes = shown_.size();
  Report(2, 2, 23, "two again");
  EXPECT_EQ(Now(), (Shown{11, "one"}));
  EXPECT_EQ(shown_.size(), refreshes);
  // It kept its place and took the new values.
  ASSERT_EQ(tray_.List(2).size(), 2u);
  EXPECT_EQ(tray_.List(2)[1].icon, 23u);
  EXPECT_STREQ(tray_.List(2)[1].tip, "two again");
  // The front record's own update shows at once.
  Report(1, 2, 12, "one again");
  EXPECT_EQ(Now(), (Shown{12, "one again"}));
}

TEST_F(TrayStatusTest, StaticModeShowsTheNamedPluginButDoubleClickGoesToTheMostUrgent) {
  names_ = {{"Low", 1}, {"High", 2}};
  SetBool("RotateIcon", false, true);
  SetString("StaticIcon", "Low", true);
  Report(2, 0, 22, "high", 7);
  Report(1, 2, 11, "low", 5);
  EXPECT_EQ(Now(), (Shown{11, "low"}));
  auto target = tray_.DoubleClickTarget();
  ASSERT_TRUE(target.has_value());
  EXPECT_EQ(target->first, 2);
  EXPECT_EQ(target->second, 7);

  // The rotation step reorders without changing what is shown.
  Report(3, 2, 33, "third");
  tray_.RotationStep();
  EXPECT_EQ(Now(), (Shown{11, "low"}));
}

TEST_F(TrayStatusTest, StaticModeFallsBackToTheDefaultForAnUnknownOrSilentPlugin) {
  names_ = {{"Silent", 4}};
  SetBool("RotateIcon", false, true);
  SetString("StaticIcon", "Nobody", true);
  Report(1, 0, 11, "one");
  EXPECT_EQ(Now(), (Shown{kDefaultIcon, kTitle}));
  SetString("StaticIcon", "Silent", true);
  tray_.Refresh();
  EXPECT_EQ(Now(), (Shown{kDefaultIcon, kTitle}));
}

TEST_F(TrayStatusTest, EmptyTipKeepsThePreviousTipText) {
  Report(1, 1, 11, "with text");
  Report(1, 1, 12, nullptr);
  EXPECT_EQ(Now(), (Shown{12, "with text"}));
  Report(2, 0, 22, "");
  EXPECT_EQ(Now(), (Shown{22, "with text"}));
  // The default always brings the title back.
  Remove(2);
  Remove(1);
  EXPECT_EQ(Now(), (Shown{kDefaultIcon, kTitle}));
}

TEST_F(TrayStatusTest, RemovingTheShownRecordSwitchesAtOnce) {
  Report(1, 2, 11, "one");
  Report(2, 2, 22, "two");
  Remove(1);
  EXPECT_EQ(Now(), (Shown{22, "two"}));
  Remove(2);
  EXPECT_EQ(Now(), (Shown{kDefaultIcon, kTitle}));

  // Also when the shown record of a pinned plugin is not at a front.
  names_ = {{"Pinned", 5}};
  SetBool("RotateIcon", false, true);
  SetString("StaticIcon", "Pinned", true);
  Report(6, 2, 66, "front");
  Report(5, 2, 55, "pinned");
  EXPECT_EQ(Now(), (Shown{55, "pinned"}));
  Remove(5);
  EXPECT_EQ(Now(), (Shown{kDefaultIcon, kTitle}));
}

TEST_F(TrayStatusTest, OneRecordPerPluginAcrossPriorities) {
  Report(1, 2, 11, "low");
  Report(1, 0, 12, "high");
  EXPECT_TRUE(tray_.List(2).empty());
  EXPECT_TRUE(tray_.List(1).empty());
  ASSERT_EQ(tray_.List(0).size(), 1u);
  EXPECT_EQ(tray_.List(0).front().icon, 12u);
}

TEST_F(TrayStatusTest, RecordsOfAnyOtherSizeAreIgnored) {
  StatusRecord record = MakeStatusRecord(1, 11, 0, "one");
  tray_.HandleMessage(StatusPriority0, &record, sizeof record - 1);
  tray_.HandleMessage(StatusPriority0, &record, sizeof record + 1);
  tray_.HandleMessage(StatusPriority0, nullptr, sizeof record);
  EXPECT_TRUE(tray_.List(0).empty());
  Report(1, 0, 11, "one");
  tray_.HandleMessage(StatusRemove, &record, 0);
  EXPECT_EQ(tray_.List(0).size(), 1u);
  // A refresh carries no record.
  tray_.HandleMessage(StatusRefresh, nullptr, 0);
  EXPECT_EQ(Now(), (Shown{11, "one"}));
}

TEST_F(TrayStatusTest, DoubleClickIgnoresNegativeCommandsAndEmptyLists) {
  EXPECT_FALSE(tray_.DoubleClickTarget().has_value());
  Report(1, 1, 11, "one", -1);
  EXPECT_FALSE(tray_.DoubleClickTarget().has_value());
  Report(2, 1, 22, "two", 0);
  EXPECT_FALSE(tray_.DoubleClickTarget().has_value()) << "only the front record counts";
  Remove(1);
  auto target = tray_.DoubleClickTarget();
  ASSERT_TRUE(target.has_value());
  EXPECT_EQ(*target, std::make_pair(2, 0));
}

}  // namespace
