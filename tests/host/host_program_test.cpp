// The real Trellan program, installed into a temporary folder and driven from
// outside: files in its Plugins folder, the recording plugin's output, an exit
// request as a user would give it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "foundation/dovetab.h"
#include "foundation/file_system.h"
#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "foundation/registry.h"
#include "host/plugin_file_name.h"
#include "tests/host/host_process.h"
#include "tests/host/host_test_support.h"
#include "tests/host/installed_host.h"

namespace {

constexpr int kExitTimeoutMs = 20000;

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const FolderEntry& entry : ListFolder(folder)) {
    if (entry.isFile) names.push_back(entry.name);
  }
  return names;
}

std::string Dump(const InstalledHost& host) {
  std::string text = "host output:\n";
  for (const std::string& line : host.Lines()) text += "  " + line + "\n";
  return text;
}

TEST(HostProgram, LoadsPluginsOneLevelDeepAndCleansUpAtExit) {
  InstalledHost host;
  using H = InstalledHost;
  host.Put("fixture_recording_plugin", H::Lib("A"));
  host.Put("fixture_recording_plugin", JoinPath("Sub", H::Lib("B")));
  host.Put("fixture_recording_plugin", JoinPath(JoinPath("Sub", "Deeper"), H::Lib("C")));
  host.Put("fixture_recording_plugin", kPluginFileSuffix);
  host.Put("fixture_version_one", H::Lib("VersionOne"));
  host.Put("fixture_null_plugin", JoinPath("Sub", H::Lib("NullObject")));
  host.Put("fixture_missing_export", H::Lib("MissingExport"));

  HostProcess process;
  ASSERT_TRUE(host.Start(process));
  ASSERT_TRUE(host.WaitForLine("start 1"));
  EXPECT_EQ(host.CountOf("start 0"), 1);
  EXPECT_EQ(host.CountOf("start 2"), 0);
  // Only the two accepted plugins keep a shadow copy. The scan may still be
  // trying a rejected file whose copy is about to go, so wait for it.
  std::vector<std::string> shadows;
  EXPECT_TRUE(WaitUntil(
      [&] {
        shadows = FilesIn(host.temp());
        return shadows.size() == 2;
      },
      10000));
  ASSERT_EQ(shadows.size(), 2u);
  for (const std::string& name : shadows) {
    EXPECT_EQ(name.rfind("tmp", 0), 0u) << name;
    EXPECT_TRUE(IsPluginFileName(name)) << name;
  }

  process.RequestExit();
  ASSERT_TRUE(process.WaitForExit(kExitTimeoutMs)) << Dump(host);
  EXPECT_EQ(process.exitCode(), 0);
  EXPECT_EQ(host.CountOf("stop 0"), 1);
  EXPECT_EQ(host.CountOf("stop 1"), 1);
  EXPECT_FALSE(IsFolder(host.temp()));
  EXPECT_EQ(ReadFileText(host.settingsFile(), 0),
            std::string(dovetab::kHeader) +
                "RotateIcon = Yes\r\nRotateSeconds = 5\r\nStaticIcon = \"\"\r\n");
}

TEST(HostProgram, KeepsTrellanIniKeysItDoesNotKnow) {
  InstalledHost host;
  ASSERT_TRUE(
      WriteFileText(host.settingsFile(),
                    std::string(dovetab::kHeader) + "Custom = \"kept\"\r\nRotateSeconds = 10\r\n"));
  HostProcess process;
  ASSERT_TRUE(host.Start(process));
  ASSERT_TRUE(WaitUntil([&] { return IsFolder(host.plugins()); }, 10000));
  // As a script ends it: Ctrl+C on Linux, the quit event on Windows.
  process.Interrupt();
  ASSERT_TRUE(process.WaitForExit(kExitTimeoutMs)) << Dump(host);
  EXPECT_EQ(ReadFileText(host.settingsFile(), 0),
            std::string(dovetab::kHeader) +
                "RotateIcon = Yes\r\nRotateSeconds = 10\r\nStaticIcon = \"\"\r\nCustom = "
                "\"kept\"\r\n");
}

TEST(HostProgram, OverwrittenPluginIsReloadedUnderItsIdAndUnrelatedFilesChangeNothing) {
  InstalledHost host;
  using H = InstalledHost;
  host.Put("fixture_recording_plugin", H::Lib("A"));
  host.Put("fixture_recording_plugin", JoinPath("Sub", H::Lib("B")));
  HostProcess process;
  ASSERT_TRUE(host.Start(process));
  ASSERT_TRUE(host.WaitForLine("start 1"));
  // Which file got which id depends on the listing order.
  std::vector<std::string> lines = host.Lines();

  host.Put("fixture_recording_plugin", JoinPath("Sub", H::Lib("B")));
  ASSERT_TRUE(
      WaitUntil([&] { return host.CountOf("start 0") + host.CountOf("start 1") == 3; }, 20000));
  lines = host.Lines();
  int stopped = IndexOf(lines, "stop 0") >= 0 ? 0 : 1;
  std::string id = std::to_string(stopped);
  ASSERT_GE(IndexOf(lines, "stop " + id), 0);
  EXPECT_GT(IndexOf(lines, "start " + id, IndexOf(lines, "stop " + id)), 0)
      << "reloaded under the id it had";
  EXPECT_EQ(host.CountOf("stop " + std::to_string(1 - stopped)), 0);

  // A rescan for an unrelated file loads, stops and starts nothing.
  size_t before = host.Lines().size();
  ASSERT_TRUE(WriteFileText(JoinPath(host.plugins(), "readme.txt"), "not a plugin"));
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));
  EXPECT_EQ(host.Lines().size(), before);

  process.RequestExit();
  ASSERT_TRUE(process.WaitForExit(kExitTimeoutMs)) << Dump(host);
  EXPECT_FALSE(IsFolder(host.temp()));
}

TEST(HostProgram, APluginReplacedWhileTheFirstScanStillRunsIsReloadedAfterIt) {
  // The start takes long enough for the file to be replaced after the scan
  // listed it and before the scan ends.
  InstalledHost host("StartDelayMs = 1500\r\n");
  host.Put("fixture_recording_plugin", InstalledHost::Lib("A"));
  HostProcess process;
  ASSERT_TRUE(host.Start(process));
  ASSERT_TRUE(host.WaitForLine("start 0"));
  host.Put("fixture_recording_plugin", InstalledHost::Lib("A"));
  ASSERT_TRUE(host.WaitForLine("start 0", 2)) << "the replaced file was never loaded";
  std::vector<std::string> lines = host.Lines();
  ASSERT_GE(IndexOf(lines, "stop 0"), 0);
  EXPECT_GT(IndexOf(lines, "start 0", IndexOf(lines, "stop 0")), 0);

  process.RequestExit();
  ASSERT_TRUE(process.WaitForExit(kExitTimeoutMs)) << Dump(host);
}

TEST(HostProgram, ReloadsAPluginWhoseThreadIsReportingWhenItIsStopped) {
  // The plugin's Stop joins a thread that may be blocked in HostCallback,
  // waiting for the very main thread that runs Stop.
  InstalledHost host("ReportEveryMs = 1\r\nStartPriority = 2\r\n");
  using H = InstalledHost;
  host.Put("fixture_recording_plugin", H::Lib("A"));
  HostProcess process;
  ASSERT_TRUE(host.Start(process));
  ASSERT_TRUE(host.WaitForLine("start 0"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  host.Put("fixture_recording_plugin", H::Lib("A"));
  ASSERT_TRUE(host.WaitForLine("start 0", 2)) << "the reload never finished";
  std::vector<std::string> lines = host.Lines();
  int stop = IndexOf(lines, "stop 0");
  ASSERT_GT(stop, 0);
  const std::string& reported = lines[static_cast<size_t>(stop - 1)];
  ASSERT_EQ(reported.rfind("reported 0 ", 0), 0u) << reported;
  EXPECT_GT(std::stoi(reported.substr(11)), 0) << "reports were delivered before the stop";

  process.RequestExit();
  ASSERT_TRUE(process.WaitForExit(kExitTimeoutMs)) << Dump(host);
  EXPECT_EQ(host.CountOf("stop 0"), 2);
}

TEST(HostProgram, SecondHostEndsTheFirstAndTakesOver) {
  InstalledHost host;
  host.Put("fixture_recording_plugin", InstalledHost::Lib("A"));
  HostProcess first;
  ASSERT_TRUE(host.Start(first));
  ASSERT_TRUE(host.WaitForLine("start 0"));
  ASSERT_FALSE(IsFile(host.settingsFile()));

  HostProcess second;
  ASSERT_TRUE(host.Start(second));
  ASSERT_TRUE(first.WaitForExit(kExitTimeoutMs)) << "the first host did not end";
  EXPECT_EQ(first.exitCode(), 0);
  EXPECT_TRUE(IsFile(host.settingsFile())) << "saved before it ended";
  ASSERT_TRUE(host.WaitForLine("start 0", 2));
  std::vector<std::string> lines = host.Lines();
  EXPECT_LT(IndexOf(lines, "stop 0"), IndexOf(lines, "start 0", IndexOf(lines, "start 0") + 1))
      << "the second host loads only after the first has unloaded";
  EXPECT_TRUE(second.Running());

  second.RequestExit();
  ASSERT_TRUE(second.WaitForExit(kExitTimeoutMs));
  EXPECT_EQ(host.CountOf("stop 0"), 2);
}

// A recorded folder wins while it holds an installation. One that is gone, or
// that has no Plugins folder while the program's own folder has one, was left
// by a copy since deleted or moved: the host then uses and records its own
// folder, and its plugins load.
TEST(HostProgram, ARecordedFolderWinsOnlyWhileItHoldsAnInstallation) {
  InstalledHost host;
  host.Put("fixture_recording_plugin", InstalledHost::Lib("A"));
  TempFolder elsewhere;
  auto startAndExit = [&](const std::string& recorded) {
    RegistrySet("Trellan", "Path", recorded);
    int started = host.CountOf("start 0");
    HostProcess process;
    if (!host.Start(process)) return false;
    bool loaded = host.WaitForLine("start 0", started + 1);
    process.RequestExit();
    return process.WaitForExit(kExitTimeoutMs) && loaded;
  };

  ASSERT_TRUE(startAndExit(elsewhere.File("deleted copy"))) << Dump(host);
  EXPECT_EQ(RegistryGet("Trellan", "Path"), host.root());
  EXPECT_FALSE(IsFolder(elsewhere.File("deleted copy")));

  ASSERT_TRUE(startAndExit(elsewhere.path())) << Dump(host);
  EXPECT_EQ(RegistryGet("Trellan", "Path"), host.root());
  EXPECT_FALSE(IsFile(elsewhere.File("Trellan.ini")));

  // An installation at the recorded folder: its plugins load, its settings
  // file is written, and the record stays.
  CreateFolders(elsewhere.File("Plugins"));
  ASSERT_TRUE(Overwrite(FixturePath("fixture_recording_plugin"),
                        JoinPath(elsewhere.File("Plugins"), InstalledHost::Lib("B"))));
  RemoveFile(host.settingsFile());
  ASSERT_TRUE(startAndExit(elsewhere.path())) << Dump(host);
  EXPECT_EQ(RegistryGet("Trellan", "Path"), elsewhere.path());
  EXPECT_TRUE(IsFile(elsewhere.File("Trellan.ini")));
  EXPECT_FALSE(IsFile(host.settingsFile()));
}

TEST(HostProgram, WithoutARegistryPathTheProgramFolderIsUsedAndStored) {
  InstalledHost host;
  host.Put("fixture_recording_plugin", InstalledHost::Lib("A"));
  ForgetHostRegistryPath();
  ASSERT_EQ(RegistryGet("Trellan", "Path"), "");
  HostProcess process;
  ASSERT_TRUE(host.Start(process));
  ASSERT_TRUE(host.WaitForLine("start 0"));
  process.RequestExit();
  ASSERT_TRUE(process.WaitForExit(kExitTimeoutMs)) << Dump(host);
  EXPECT_EQ(RegistryGet("Trellan", "Path"), host.root());
  EXPECT_TRUE(IsFile(host.settingsFile()));
}

}  // namespace
