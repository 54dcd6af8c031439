// The headless host's tray lines on standard output, and its exit signals.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "foundation/dovetab.h"
#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "tests/host/host_process.h"
#include "tests/host/host_test_support.h"
#include "tests/host/installed_host.h"

namespace {

const char kDefaultLine[] = "tray icon=101 tip=Trellan v2.0.2";

TEST(HeadlessHost, ReloadTakesThePluginsIconOutOfTheTrayBeforeStoppingIt) {
  // The plugin also reports from its Stop; the host must not take that report,
  // whose icon would die with the library.
  InstalledHost host(
      "ReportOnStart = Yes\r\nReportOnStop = Yes\r\nStartPriority = 0\r\nIcon = 7\r\nTip = "
      "\"Busy\"\r\n");
  host.Put("fixture_recording_plugin", InstalledHost::Lib("A"));
  HostProcess process;
  ASSERT_TRUE(host.Start(process));
  ASSERT_TRUE(host.WaitForLine("start 0"));
  // A report made during the first scan comes before the host's settings
  // exist and is shown from the next refresh on; a reload gives one.
  host.Put("fixture_recording_plugin", InstalledHost::Lib("A"));
  ASSERT_TRUE(host.WaitForLine("tray icon=7 tip=Busy"));
  host.Put("fixture_recording_plugin", InstalledHost::Lib("A"));
  ASSERT_TRUE(host.WaitForLine("tray icon=7 tip=Busy", 2));

  std::vector<std::string> lines = host.Lines();
  int shown = IndexOf(lines, "tray icon=7 tip=Busy");
  int back_to_default = IndexOf(lines, kDefaultLine, shown);
  int stop = IndexOf(lines, "stop 0", shown);
  int start_again = IndexOf(lines, "start 0", stop);
  EXPECT_EQ(IndexOf(lines, kDefaultLine), 0) << "the tray starts with the host's own icon";
  EXPECT_GT(back_to_default, shown);
  EXPECT_LT(back_to_default, stop);
  EXPECT_GT(start_again, stop);
  EXPECT_EQ(IndexOf(lines, "report 0 0 Busy", back_to_default), stop - 1);
  int shown_again = IndexOf(lines, "tray icon=7 tip=Busy", back_to_default);
  EXPECT_GT(shown_again, start_again) << "a report made in Stop reached the tray";

  // At exit the tray icon goes before any plugin is stopped.
  process.RequestExit();
  ASSERT_TRUE(process.WaitForExit(20000));
  lines = host.Lines();
  int removed = IndexOf(lines, "tray removed");
  ASSERT_GT(removed, 0);
  EXPECT_GT(IndexOf(lines, "stop 0", removed), removed);
}

TEST(HeadlessHost, InterruptEndsTheHostInOrder) {
  InstalledHost host;
  host.Put("fixture_recording_plugin", InstalledHost::Lib("A"));
  HostProcess process;
  ASSERT_TRUE(host.Start(process));
  ASSERT_TRUE(host.WaitForLine("start 0"));
  process.Interrupt();
  ASSERT_TRUE(process.WaitForExit(20000));
  EXPECT_EQ(process.exitCode(), 0);
  EXPECT_EQ(host.CountOf("stop 0"), 1);
}

TEST(HeadlessHost, StartUpRotationPeriodIgnoresRotateSeconds) {
  InstalledHost host("ReportOnStart = Yes\r\nStartPriority = 2\r\n");
  ASSERT_TRUE(
      WriteFileText(host.settingsFile(), std::string(dovetab::kHeader) + "RotateSeconds = 1\r\n"));
  host.Put("fixture_recording_plugin", InstalledHost::Lib("A"));
  host.Put("fixture_recording_plugin", JoinPath("Sub", InstalledHost::Lib("B")));
  HostProcess process;
  ASSERT_TRUE(host.Start(process));
  ASSERT_TRUE(host.WaitForLine("start 1"));
  auto tray_lines = [&] {
    int count = 0;
    for (const std::string& line : host.Lines()) count += line.rfind("tray icon=0 ", 0) == 0;
    return count;
  };
  // Plugins report before the settings are read, so nothing rotates before the
  // first tick; then one switch per tick.
  int before = tray_lines();
  ASSERT_TRUE(WaitUntil([&] { return tray_lines() > before; }, 15000));
  int after_first_tick = tray_lines();
  std::this_thread::sleep_for(std::chrono::milliseconds(3000));
  EXPECT_EQ(tray_lines(), after_first_tick) << "a 1 s period would have switched again";
}

// A Plugins folder that cannot be watched is named in the message, with the
// system's reason; the host runs on without hot reload.
TEST(HeadlessHost, AFolderThatCannotBeWatchedIsNamedWithTheReason) {
  InstalledHost host;
  ASSERT_TRUE(WriteFileText(host.plugins(), "a file where the folder should be"));
  HostProcess process;
  ASSERT_TRUE(host.Start(process));
  const std::string expected =
      "[Error] Cannot create change notification handle for \"" + host.plugins() + "\":\r";
  ASSERT_TRUE(host.WaitForLine(expected)) << ReadFileBytes(host.output());
  EXPECT_EQ(IndexOf(host.Lines(), "Not a directory"), IndexOf(host.Lines(), expected) + 1);
  process.RequestExit();
  ASSERT_TRUE(process.WaitForExit(20000));
  EXPECT_EQ(process.exitCode(), 0);
}

}  // namespace
