#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/dynamic_library.h"
#include "plugin_api/plugin_api.h"
#include "tests/support/test_support.h"

// One status report as the fake host received it.
struct HostReport {
  int32_t pluginId = 0;
  IconHandle icon = 0;
  int32_t command = 0;
  int32_t priority = 0;
  std::string text;
};

// The fake host's side of HostCallback: records every report. A test may make
// the callback block until it releases it.
class ReportRecorder {
 public:
  static ReportRecorder& Instance();
  static int32_t Callback(int32_t pluginId, IconHandle icon, int32_t command, int32_t priority,
                          const char* text);

  void Reset();
  std::vector<HostReport> Reports();
  // Waits up to `milliseconds` until at least `count` reports arrived.
  bool WaitForReports(std::size_t count, int milliseconds);

  // From now on every call blocks until Unblock.
  void BlockCalls();
  void Unblock();
  // Waits until a call is blocked inside the callback.
  bool WaitUntilBlocked(int milliseconds);
  // Calls that are inside the callback at this moment.
  int CallsInside();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<HostReport> reports_;
  bool block_ = false;
  int inside_ = 0;
};

// The real OrviHTTP library, loaded as the host loads it, with its install
// folder set to a fresh temporary folder through the registry.
class LoadedServerPlugin {
 public:
  static constexpr int32_t kPluginId = 7;

  LoadedServerPlugin();
  ~LoadedServerPlugin();

  bool loaded() const { return plugin_ != nullptr; }
  Plugin* plugin() const { return plugin_; }
  const TempFolder& folder() const { return folder_; }
  // Makes a further plugin object from the same loaded library.
  Plugin* NewObject();

  // Writes OrviHTTP.ini in the install folder from "Key = value" lines.
  void WriteIni(const std::vector<std::string>& lines);
  std::string ReadFile(const std::string& name) const;
  // The entries of OrviHTTP.ini as "Name = value" texts, in file order.
  std::vector<std::string> IniEntries() const;

  void Start();
  void Stop();

 private:
  TempFolder folder_;
  DynamicLibrary library_;
  Plugin* plugin_ = nullptr;
  bool started_ = false;
};
