#include "host/plugin_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/file_system.h"
#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "host/plugin_file_name.h"
#include "tests/host/host_test_support.h"
#include "tests/support/test_support.h"

namespace {

std::string record_file;  // where the recording plugins and the hooks write

int32_t RecordReport(int32_t pluginId, IconHandle, int32_t, int32_t priority, const char* text) {
  AppendFileText(record_file, "callback " + std::to_string(pluginId) + " " +
                                  std::to_string(priority) + " " + (text ? text : "") + "\n");
  return 0;
}

// An installation folder with a Plugins folder, driven in-process through the
// real manager singleton.
class PluginManagerTest : public testing::Test {
 protected:
  PluginManagerTest() {
    record_file = install_.File("calls.txt");
    UseRecordingSettings(install_.File("RecordingPlugin.ini"), record_file);
    SetString("InstallPath", install_.path(), false);
    PluginManager::SetHostHooks({RecordReport, [](int32_t pluginId) {
                                   AppendFileText(record_file,
                                                  "remove " + std::to_string(pluginId) + "\n");
                                 }});
    plugins_ = JoinPath(install_.path(), "Plugins");
    temp_ = JoinPath(install_.path(), "Temp");
  }

  ~PluginManagerTest() override {
    DestroyPluginManager();
    PluginManager::SetHostHooks({});
    SetEnvironment("RECORDING_PLUGIN_SETTINGS", "");
    DestroySettings();
  }

  void Rescan() {
    PluginManagerAccess manager(ThePluginManager());
    manager->Rescan();
  }
  std::vector<PluginSummary> List() {
    PluginManagerAccess manager(ThePluginManager());
    return manager->List();
  }
  uint32_t Counter() {
    PluginManagerAccess manager(ThePluginManager());
    return manager->shadowCounter();
  }
  void Put(const std::string& fixture, const std::string& relative) {
    std::string target = JoinPath(plugins_, relative);
    CreateFolders(ParentFolder(target));
    ASSERT_TRUE(Overwrite(FixturePath(fixture), target)) << target;
  }
  std::vector<std::string> TempFiles() {
    std::vector<std::string> names;
    for (const FolderEntry& entry : ListFolder(temp_)) {
      if (entry.isFile) names.push_back(entry.name);
    }
    return names;
  }
  std::string Lib(const std::string& base) { return base + kPluginFileSuffix; }

  TempFolder install_;
  std::string plugins_;
  std::string temp_;
};

TEST_F(PluginManagerTest, CreatingTheManagerCreatesThePluginsFolder) {
  EXPECT_FALSE(IsFolder(plugins_));
  EXPECT_EQ(List().size(), 0u);
  EXPECT_TRUE(IsFolder(plugins_));
}

TEST_F(PluginManagerTest, LoadsTheTopFolderAndOneSubFolderLevelOnly) {
  Put("fixture_recording_plugin", Lib("A"));
  Put("fixture_recording_plugin", JoinPath("Sub", Lib("B")));
  Put("fixture_recording_plugin", JoinPath(JoinPath("Sub", "Deeper"), Lib("C")));
  // Not plugin names: the bare suffix, the suffix in upper case, another end.
  Put("fixture_recording_plugin", kPluginFileSuffix);
  std::string upper = kPluginFileSuffix;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  Put("fixture_recording_plugin", "D" + upper);
  Put("fixture_recording_plugin", Lib("E") + ".off");
  Rescan();

  std::vector<PluginSummary> list = List();
  ASSERT_EQ(list.size(), 2u);
  std::vector<std::string> sources = {list[0].sourcePath, list[1].sourcePath};
  std::sort(sources.begin(), sources.end());
  EXPECT_EQ(sources[0], JoinPath(plugins_, Lib("A")));
  EXPECT_EQ(sources[1], JoinPath(JoinPath(plugins_, "Sub"), Lib("B")));
  EXPECT_EQ(list[0].pluginId, 0);
  EXPECT_EQ(list[1].pluginId, 1);
  EXPECT_EQ(list[0].name, "Recording 0");
  EXPECT_EQ(list[0].version, 0x00010203u);
  EXPECT_EQ(Counter(), 2u) << "only candidates consume shadow names";
  EXPECT_EQ(ReadLines(record_file), (std::vector<std::string>{"start 0", "start 1"}));
  std::vector<std::string> shadows = TempFiles();
  std::sort(shadows.begin(), shadows.end());
  EXPECT_EQ(shadows, (std::vector<std::string>{ShadowFileName(0), ShadowFileName(1)}));
}

TEST_F(PluginManagerTest, RejectedLibrariesLeaveNothingAndCostACounterValueEveryRescan) {
  Put("fixture_version_one", Lib("VersionOne"));
  Put("fixture_null_plugin", Lib("NullObject"));
  Put("fixture_missing_export", Lib("MissingExport"));
  ASSERT_TRUE(WriteFileText(JoinPath(plugins_, Lib("NotALibrary")), "just text"));
  Rescan();
  EXPECT_TRUE(List().empty());
  EXPECT_EQ(Counter(), 4u);
  EXPECT_TRUE(TempFiles().empty());
  Rescan();
  EXPECT_TRUE(List().empty());
  EXPECT_EQ(Counter(), 8u);
  EXPECT_TRUE(TempFiles().empty());
  EXPECT_EQ(ReadFileText(record_file, 0), "");

  // A good plugin beside them still loads, with the lowest id.
  Put("fixture_recording_plugin", Lib("Good"));
  Rescan();
  ASSERT_EQ(List().size(), 1u);
  EXPECT_EQ(List()[0].pluginId, 0);
  EXPECT_EQ(TempFiles().size(), 1u);
}

TEST_F(PluginManagerTest, OverwrittenPluginReloadsUnderItsIdAfterItsTrayRecordsAreGone) {
  Put("fixture_recording_plugin", Lib("A"));
  Rescan();
  Put("fixture_recording_plugin", Lib("B"));
  Rescan();
  ASSERT_EQ(List().size(), 2u);
  std::string a_shadow = JoinPath(temp_, ShadowFileName(0));
  EXPECT_TRUE(IsFile(a_shadow));

  Put("fixture_recording_plugin", Lib("A"));
  Rescan();
  std::vector<std::string> lines = ReadLines(record_file);
  EXPECT_EQ(lines,
            (std::vector<std::string>{"start 0", "start 1", "remove 0", "stop 0", "start 0"}));
  std::vector<PluginSummary> list = List();
  ASSERT_EQ(list.size(), 2u);
  // The reloaded record is appended again, with the same id.
  EXPECT_EQ(list[0].sourcePath, JoinPath(plugins_, Lib("B")));
  EXPECT_EQ(list[1].sourcePath, JoinPath(plugins_, Lib("A")));
  EXPECT_EQ(list[1].pluginId, 0);
  EXPECT_FALSE(IsFile(a_shadow));
  EXPECT_TRUE(IsFile(JoinPath(temp_, ShadowFileName(2))));

  // Unchanged files and unrelated ones cost nothing.
  ASSERT_TRUE(WriteFileText(JoinPath(plugins_, "readme.txt"), "hello"));
  Rescan();
  EXPECT_EQ(ReadLines(record_file).size(), lines.size());
  EXPECT_EQ(Counter(), 3u);
}

TEST_F(PluginManagerTest, FreedIdIsTakenByTheNextNewPlugin) {
  Put("fixture_recording_plugin", Lib("A"));
  Rescan();
  Put("fixture_recording_plugin", Lib("B"));
  Rescan();
  // B turns into a library of the wrong version: unloaded, and not replaced.
  Put("fixture_version_one", Lib("B"));
  Rescan();
  ASSERT_EQ(List().size(), 1u);
  Put("fixture_recording_plugin", Lib("C"));
  Rescan();
  std::vector<PluginSummary> list = List();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].sourcePath, JoinPath(plugins_, Lib("C")));
  EXPECT_EQ(list[1].pluginId, 1);
  EXPECT_EQ(ReadLines(record_file),
            (std::vector<std::string>{"start 0", "start 1", "remove 1", "stop 1", "start 1"}));
}

TEST_F(PluginManagerTest, ReloadKeepsItsIdEvenWhenALowerOneIsFree) {
  Put("fixture_recording_plugin", Lib("A"));
  Rescan();
  Put("fixture_recording_plugin", Lib("B"));
  Rescan();
  Put("fixture_null_plugin", Lib("A"));  // frees id 0
  Rescan();
  Put("fixture_recording_plugin", Lib("B"));
  Rescan();
  std::vector<PluginSummary> list = List();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].pluginId, 1);
  EXPECT_EQ(ReadLines(record_file),
            (std::vector<std::string>{"start 0", "start 1", "remove 0", "stop 0", "remove 1",
                                      "stop 1", "start 1"}));
}

TEST_F(PluginManagerTest, DeletedPluginFileStaysLoaded) {
  Put("fixture_recording_plugin", Lib("A"));
  Rescan();
  ASSERT_TRUE(RemoveFile(JoinPath(plugins_, Lib("A"))));
  Rescan();
  EXPECT_EQ(List().size(), 1u);
}

TEST_F(PluginManagerTest, CommandsReachTheirPluginAndReportsReachTheHost) {
  Put("fixture_recording_plugin", Lib("A"));
  Put("fixture_recording_plugin", JoinPath("Sub", Lib("B")));
  Rescan();
  {
    PluginManagerAccess manager(ThePluginManager());
    manager->Command(1, 12);
    manager->Command(7, 12);  // nobody has id 7
    EXPECT_EQ(manager->FindByName("Recording 1"), 1);
    EXPECT_FALSE(manager->FindByName("recording 1").has_value());
  }
  EXPECT_EQ(ReadLines(record_file),
            (std::vector<std::string>{"start 0", "start 1", "command 1 12",
                                      "report 1 2 Recording 1", "callback 1 2 Recording 1"}));
}

TEST_F(PluginManagerTest, DestroyStopsEveryPluginAndRemovesTheTempFolder) {
  Put("fixture_recording_plugin", Lib("A"));
  Put("fixture_recording_plugin", JoinPath("Sub", Lib("B")));
  Rescan();
  // A shadow copy left over by an earlier run goes as well.
  ASSERT_TRUE(WriteFileText(JoinPath(temp_, ShadowFileName(99)), "stale"));
  DestroyPluginManager();
  std::vector<std::string> lines = ReadLines(record_file);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], "stop 0");
  EXPECT_EQ(lines[3], "stop 1");
  EXPECT_FALSE(IsFolder(temp_));
  // No tray records are removed at exit: the tray icon is gone by then.
  EXPECT_EQ(IndexOf(lines, "remove 0"), -1);
}

}  // namespace
