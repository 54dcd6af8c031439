// The settings window's OK and Apply against the real settings store, the
// real live tree and real files in a temporary install folder.
#include "orvihttp/ui/apply_changes.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "foundation/dovetab.h"
#include "foundation/file_system.h"
#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "orvihttp/config/server_keys.h"
#include "orvihttp/http/server.h"
#include "orvihttp/plugin/server_configuration.h"
#include "tests/support/test_support.h"

namespace {

class ApplyChangesTest : public testing::Test {
 protected:
  void SetUp() override {
    // As the plugin's start leaves things: defaults, then the ini over them.
    WriteFileText(folder_.File("OrviHTTP.ini"), std::string(dovetab::kHeader) + kPort.name +
                                                    " = 8080\r\n" + kMaxUsers.name + " = 5\r\n");
    LoadServerConfiguration(folder_.path());
    tree_.AddFolder("", "docs");
    tree_.AddFile("/docs", "a.txt", folder_.File("a.txt"));
    tree_.AddFile("", "index.html", folder_.File("index.html"));
  }
  void TearDown() override { DestroySettings(); }

  // OrviHTTP.ini on disk as name -> value text.
  std::map<std::string, std::string> IniOnDisk() const {
    std::map<std::string, std::string> entries;
    dovetab::Parse(ReadFileText(folder_.File("OrviHTTP.ini"), 0), [&](const Setting& entry) {
      entries[entry.name] = dovetab::FormatValue(entry);
    });
    return entries;
  }

  TempFolder folder_;
  VirtualDirectory tree_;
};

TEST_F(ApplyChangesTest, WorkingValuesReachStoreAndFileButLiveActiveAndStatsSurvive) {
  WorkingSettings working = WorkingSettings::CopyOfLive();
  VirtualFolder tree = tree_.CopyTree();
  ASSERT_EQ(working.Get(kPort), 8080);
  EXPECT_FALSE(working.Get(kActive));

  // While the window is open the Info page starts the server and the
  // Statistics page changes its period, both live.
  SetSetting(kActive, true);
  SetSetting(kStats, 2);

  working.Set(kPort, 8081);
  working.Set(kDirView, false);
  working.Set(kPhpPath, "C:\\php\\php-cgi.exe");
  ApplyChanges(tree_, working, tree);

  EXPECT_EQ(GetSetting(kPort), 8081);
  EXPECT_FALSE(GetSetting(kDirView));
  EXPECT_EQ(GetSetting(kPhpPath), "C:\\php\\php-cgi.exe");
  EXPECT_TRUE(GetSetting(kActive));
  EXPECT_EQ(GetSetting(kStats), 2);

  std::map<std::string, std::string> ini = IniOnDisk();
  EXPECT_EQ(ini[kPort.name], "8081");
  EXPECT_EQ(ini[kMaxUsers.name], "5");
  EXPECT_EQ(ini[kDirView.name], "No");
  EXPECT_EQ(ini[kActive.name], "Yes");
  EXPECT_EQ(ini[kStats.name], "2");
  EXPECT_EQ(ini[kPhpPath.name], "\"C:\\php\\php-cgi.exe\"");
  // Run-time entries were copied but are not persistent: never saved.
  EXPECT_EQ(ini.count(kInstallPath.name), 0u);
  EXPECT_EQ(ini.count("MainDialog"), 0u);

  // A second Apply from the same copy, after the server was stopped again,
  // still keeps the live Active.
  SetSetting(kActive, false);
  ApplyChanges(tree_, working, tree);
  EXPECT_EQ(IniOnDisk()[kActive.name], "No");
}

TEST_F(ApplyChangesTest, OkWithoutEditsWritesAnIdenticalTreeAndTheSameValues) {
  const VirtualFolder before = tree_.CopyTree();
  const std::string settingsBefore = SaveSettingsText();
  ASSERT_FALSE(IsFile(folder_.File("OrviHTTP.dir")));

  ApplyChanges(tree_, WorkingSettings::CopyOfLive(), tree_.CopyTree());

  EXPECT_EQ(tree_.CopyTree(), before);
  EXPECT_EQ(ReadFileBytes(folder_.File("OrviHTTP.dir")), SerializeTree(before));
  // Stats had no entry; it is written as the 0 it reads as.
  std::map<std::string, std::string> ini = IniOnDisk();
  EXPECT_EQ(ini[kPort.name], "8080");
  EXPECT_EQ(ini[kStats.name], "0");
  // Every other entry is written back as it was, in its place.
  const std::string settingsAfter = SaveSettingsText();
  EXPECT_EQ(settingsAfter.substr(0, settingsBefore.size()), settingsBefore);
  EXPECT_EQ(ReadFileText(folder_.File("OrviHTTP.ini"), 0), settingsAfter);
}

TEST_F(ApplyChangesTest, WorkingTreeReplacesLiveEditsMadeMeanwhile) {
  VirtualFolder working = tree_.CopyTree();
  working.RemoveEntry("/docs/a.txt");
  working.AddFolder("music");
  // Someone else changes the live tree while the window is open.
  tree_.AddFile("", "late.txt", folder_.File("late.txt"));

  ApplyChanges(tree_, WorkingSettings::CopyOfLive(), working);

  VirtualFolder live = tree_.CopyTree();
  EXPECT_EQ(live, working);
  EXPECT_EQ(live.FindFile("late.txt"), nullptr);
  EXPECT_EQ(ReadFileBytes(folder_.File("OrviHTTP.dir")), SerializeTree(working));
}

TEST(WorkingSettings, SetsCreateOrRetypeEntriesAsPersistentWithoutTouchingTheLiveStore) {
  SetSetting(kInstallPath, "/srv");
  WorkingSettings working = WorkingSettings::CopyOfLive();
  ASSERT_EQ(working.Entries().size(), 1u);
  EXPECT_FALSE(working.Entries()[0].persistent);

  working.Set(kInstallPath, "/elsewhere");
  working.SetInt("Fresh", 4);
  working.SetBool("Fresh", true);  // retyped, its int value gone
  EXPECT_EQ(working.Get(kInstallPath), "/elsewhere");
  EXPECT_TRUE(working.GetBool("Fresh"));
  EXPECT_EQ(working.GetInt("Fresh"), 0);
  EXPECT_EQ(working.GetString("Missing"), "");
  ASSERT_EQ(working.Entries().size(), 2u);
  for (const Setting& entry : working.Entries()) EXPECT_TRUE(entry.persistent) << entry.name;
  EXPECT_EQ(working.Entries()[1].type, Setting::Type::Bool);

  EXPECT_EQ(GetSetting(kInstallPath), "/srv");
  EXPECT_FALSE(GetBool("Fresh"));
  DestroySettings();
}

}  // namespace

namespace {

TEST_F(ApplyChangesTest, ChangedRightsAreWrittenAndPutInForceAndNoneRemoveTheFile) {
  Server server(CurrentServerSettings);
  const std::string file = folder_.File("OrviHTTP.rights");
  FolderRightsTable rights;
  rights.Set("/docs", FolderRight::See, RightHolders{RightHolders::Kind::Accounts, {}});
  EXPECT_EQ(ApplyRightsChanges(server, rights), "");
  EXPECT_NE(ReadFileText(file, 0).find("/docs\tsee=accounts"), std::string::npos);
  EXPECT_TRUE(server.access().Active());
  EXPECT_FALSE(server.access().MaySee("/docs", ""));

  EXPECT_EQ(ApplyRightsChanges(server, FolderRightsTable{}), "");
  EXPECT_FALSE(IsFile(file));
  EXPECT_FALSE(server.access().Active());
  EXPECT_TRUE(server.access().MaySee("/docs", ""));
}

}  // namespace
