#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <optional>
#include <string>
#include <vector>

#include "foundation/dynamic_library.h"
#include "foundation/file_system.h"
#include "foundation/singleton.h"
#include "plugin_api/plugin_api.h"

// One loaded plugin.
struct PluginRecord {
  std::string name;
  uint32_t version = 0;
  int32_t pluginId = 0;
  DynamicLibrary module;
  Plugin* object = nullptr;
  FileTime fileTime;
  std::string sourcePath;
  std::string shadowPath;
};

// What the settings dialog shows of a loaded plugin (a copy, taken under the
// manager's lock).
struct PluginSummary {
  std::string name;
  uint32_t version = 0;
  int32_t pluginId = 0;
  std::string sourcePath;
};

// A plugin's part of the tray menu: a fresh GetName text and its GetMenu popup.
struct PluginMenuSource {
  std::string name;
  MenuHandle menu = nullptr;
};

// Loads every plugin library of InstallPath/Plugins (and one sub-folder level)
// through shadow copies in InstallPath/Temp, reloads a plugin whose file
// changed, and unloads everything at exit. All calls into plugins happen on the
// host's main thread; the settings dialog only reads List() from its own.
class PluginManager {
 public:
  // How the manager reaches the rest of the host.
  struct HostHooks {
    // Written into every plugin object as its `hostCallback`.
    HostCallbackFunction callback = nullptr;
    // Removes a plugin's tray records, synchronously, before it is stopped for
    // a reload.
    std::function<void(int32_t pluginId)> removeStatus;
  };
  static void SetHostHooks(HostHooks hooks);

  static constexpr int32_t kMaxPlugins = 256;

  // Creates the Plugins folder of the current InstallPath.
  PluginManager();
  ~PluginManager() = default;
  PluginManager(const PluginManager&) = delete;
  PluginManager& operator=(const PluginManager&) = delete;

  // Looks at every candidate file and loads or reloads what changed.
  void Rescan();
  // Loads one file, or reloads it when its time differs from the loaded copy.
  void LoadOrReload(const std::string& installFolder, const std::string& fileName,
                    const FileTime& fileTime, const std::string& subFolder);
  // The pluginId of the plugin loaded under exactly this name.
  std::optional<int32_t> FindByName(const std::string& name) const;
  // OnCommand(code) of the plugin with this id; nothing when there is none.
  void Command(int32_t pluginId, int32_t code);
  std::vector<PluginSummary> List() const;
  // Calls GetName and GetMenu of every plugin, in list order. The caller owns
  // the menus.
  std::vector<PluginMenuSource> MenuSources();
  // Host exit: stops and releases every plugin, then removes the Temp folder
  // with every shadow copy in it.
  void UnloadAll();

  std::size_t size() const { return records_.size(); }
  uint32_t shadowCounter() const { return counter_; }

 private:
  void RescanOnce();
  int32_t LowestFreePluginId() const;

  std::list<PluginRecord> records_;
  uint32_t counter_ = 0;
  // A plugin that runs a message loop inside Start or Stop could deliver a
  // rescan request while one is in progress; it is run afterwards instead.
  bool scanning_ = false;
  bool scanAgain_ = false;
};

// The process-wide manager, created on first use; every use holds its lock.
Singleton<PluginManager>& ThePluginManager();
using PluginManagerAccess = SingletonAccess<PluginManager>;
// Host exit: unloads everything (under the lock), then deletes the manager and
// its lock.
void DestroyPluginManager();
