// The host's window tells trellan-quit, a second host and the installer that
// a host has let go of its files: it stays, hidden, until the plugins are
// unloaded, the Temp folder is gone and Trellan.ini is written.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "tests/host/host_process.h"
#include "tests/host/host_test_support.h"
#include "tests/host/installed_host.h"
#include "tests/host/test_desktop_win32.h"

namespace {

TEST(HostExit, WindowStaysUntilTheFilesAreFreeAndTrellanQuitWaitsForTheProcess) {
  // A slow Stop, while a thread of the plugin keeps reporting to the window
  // that no longer handles messages.
  InstalledHost host("StopDelayMs = 2000\r\nReportEveryMs = 5\r\n");
  host.Put("fixture_recording_plugin", InstalledHost::Lib("A"));
  HostProcess process;
  ASSERT_TRUE(host.Start(process));
  ASSERT_TRUE(host.WaitForLine("start 0"));

  bool windowWent = false;
  bool windowSeenInStop = false;
  bool windowOutlivedProcess = false;
  bool tempGone = false;
  bool stopped = false;
  bool saved = false;
  std::atomic<bool> watching{false};
  std::thread watcher([&] {
    OnTestDesktop desktop;
    watching = true;
    // Each sample reads the window last and the files after it, so a file
    // still held when the window was already gone shows.
    windowWent = WaitUntil(
        [&] {
          bool inStop = host.CountOf("stopping 0") > 0;
          bool running = process.Running();
          if (!FindWindowA("Trellan", nullptr)) {
            tempGone = !IsFolder(host.temp());
            stopped = host.CountOf("stop 0") == 1;
            saved = IsFile(host.settingsFile());
            return true;
          }
          windowSeenInStop = windowSeenInStop || inStop;
          windowOutlivedProcess = windowOutlivedProcess || !running;
          return false;
        },
        20000);
  });
  while (!watching) std::this_thread::yield();

  HostProcess quitter;
  bool quitStarted =
      quitter.Start(JoinPath(TestBinaryDir(), "trellan-quit.exe"), host.root() + "\\quit.txt");
  watcher.join();
  ASSERT_TRUE(quitStarted);
  ASSERT_TRUE(windowWent);
  EXPECT_TRUE(windowSeenInStop) << "the window stays while the plugin is being stopped";
  EXPECT_FALSE(windowOutlivedProcess);
  EXPECT_TRUE(tempGone) << "the shadow copies were gone before the window";
  EXPECT_TRUE(stopped);
  EXPECT_TRUE(saved) << "Trellan.ini was written before the window went";

  // trellan-quit returns once the process itself has ended: the program file
  // is free at once, as the installer needs it to be.
  ASSERT_TRUE(quitter.WaitForExit(20000));
  EXPECT_EQ(quitter.exitCode(), 0);
  EXPECT_FALSE(process.Running());
  EXPECT_EQ(process.exitCode(), 0);
  EXPECT_TRUE(DeleteFileA(JoinPath(host.root(), ProgramFileName("Trellan")).c_str()))
      << GetLastError();
}

}  // namespace
