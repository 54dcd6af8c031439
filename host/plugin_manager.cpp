#include "host/plugin_manager.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "foundation/file_open.h"
#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "host/host_info.h"
#include "host/host_keys.h"
#include "host/plugin_file_name.h"
#include "host/plugin_stop_scope.h"

namespace {

constexpr auto kSettleTime = std::chrono::milliseconds(500);
constexpr auto kAfterStop = std::chrono::milliseconds(500);
constexpr auto kAfterUnload = std::chrono::milliseconds(200);

int32_t IgnoreReport(int32_t, IconHandle, int32_t, int32_t, const char*) {
  return 0;
}

PluginManager::HostHooks& Hooks() {
  static PluginManager::HostHooks hooks{IgnoreReport, nullptr};
  return hooks;
}

std::string InstallFolder() {
  return GetSetting(kHostInstallPath);
}

std::string TempFolderOf(const std::string& install) {
  return JoinPath(install, "Temp");
}

// Reads the whole source as bytes and writes them to the target, truncating
// it. Nothing is written when the source cannot be opened.
void CopyWholeFile(const std::string& source, const std::string& target) {
  std::FILE* in = OpenFile(source, "rb");
  if (!in) return;
  std::string bytes;
  char chunk[64 * 1024];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
    bytes.append(chunk, got);
  std::fclose(in);
  std::FILE* out = OpenFile(target, "wb");
  if (!out) return;
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
}

}  // namespace

void PluginManager::SetHostHooks(HostHooks hooks) {
  if (!hooks.callback) hooks.callback = IgnoreReport;
  Hooks() = std::move(hooks);
}

PluginManager::PluginManager() {
  std::string install = InstallFolder();
  if (!install.empty()) CreateFolder(JoinPath(install, kPluginsFolder));
}

void PluginManager::Rescan() {
  if (scanning_) {
    scanAgain_ = true;
    return;
  }
  scanning_ = true;
  do {
    scanAgain_ = false;
    RescanOnce();
  } while (scanAgain_);
  scanning_ = false;
}

void PluginManager::RescanOnce() {
  // Gives a program that is still writing a plugin file time to finish.
  std::this_thread::sleep_for(kSettleTime);
  std::string install = InstallFolder();
  std::string plugins = JoinPath(install, kPluginsFolder);
  for (const FolderEntry& entry : ListFolder(plugins)) {
    if (entry.isFile && IsPluginFileName(entry.name)) {
      LoadOrReload(install, entry.name, entry.lastWrite, std::string());
    } else if (entry.isFolder) {
      // One level only: folders inside a sub-folder are not looked at.
      for (const FolderEntry& inner : ListFolder(JoinPath(plugins, entry.name))) {
        if (inner.isFile && IsPluginFileName(inner.name)) {
          LoadOrReload(install, inner.name, inner.lastWrite, entry.name);
        }
      }
    }
  }
}

int32_t PluginManager::LowestFreePluginId() const {
  for (int32_t id = 0; id < kMaxPlugins; ++id) {
    bool used = false;
    for (const PluginRecord& record : records_) used = used || record.pluginId == id;
    if (!used) return id;
  }
  return -1;
}

void PluginManager::LoadOrReload(const std::string& installFolder, const std::string& fileName,
                                 const FileTime& fileTime, const std::string& subFolder) {
  std::string folder = JoinPath(installFolder, kPluginsFolder);
  if (!subFolder.empty()) folder = JoinPath(folder, subFolder);
  std::string source = JoinPath(folder, fileName);

  int32_t pluginId = -1;
  auto loaded = records_.begin();
  while (loaded != records_.end() && loaded->sourcePath != source) ++loaded;
  if (loaded != records_.end()) {
    if (loaded->fileTime == fileTime) return;
    // Changed on disk: unload, keeping its pluginId for the new copy. Its tray
    // records go first, so the tray never shows an icon of a stopped plugin.
    pluginId = loaded->pluginId;
    {
      // Until its code is gone, reports of this plugin are not taken: a late
      // one would put an icon back that dies with the library.
      PluginStopScope stopping(pluginId);
      if (Hooks().removeStatus) Hooks().removeStatus(pluginId);
      loaded->object->Stop();
      std::this_thread::sleep_for(kAfterStop);
      loaded->module.Release();
    }
    RemoveFile(loaded->shadowPath);
    records_.erase(loaded);
    std::this_thread::sleep_for(kAfterUnload);
  } else {
    pluginId = LowestFreePluginId();
    if (pluginId < 0) return;
  }

  std::string temp = TempFolderOf(installFolder);
  std::string shadow = JoinPath(temp, ShadowFileName(counter_));
  ++counter_;
  CreateFolder(temp);
  CopyWholeFile(source, shadow);

  DynamicLibrary module;
  Plugin* object = nullptr;
  if (module.Load(shadow)) {
    auto getVersion = reinterpret_cast<GetPluginVersionFunction>(module.Symbol("GetPluginVersion"));
    auto getPlugin = reinterpret_cast<GetPluginFunction>(module.Symbol("GetPlugin"));
    if (getVersion && getPlugin && getVersion() == kPluginInterfaceVersion) {
      getPlugin(&object);
    }
  }
  if (!object) {
    module.Release();
    RemoveFile(shadow);
    return;
  }

  object->pluginId = pluginId;
  object->hostCallback = Hooks().callback;
  PluginRecord record;
  const char* name = object->GetName();
  record.name = name ? name : "";
  record.version = object->GetVersion();
  record.pluginId = pluginId;
  record.module = std::move(module);
  record.object = object;
  record.fileTime = fileTime;
  record.sourcePath = source;
  record.shadowPath = shadow;
  records_.push_back(std::move(record));
  object->Start();
}

std::optional<int32_t> PluginManager::FindByName(const std::string& name) const {
  for (const PluginRecord& record : records_) {
    if (record.name == name) return record.pluginId;
  }
  return std::nullopt;
}

void PluginManager::Command(int32_t pluginId, int32_t code) {
  for (PluginRecord& record : records_) {
    if (record.pluginId == pluginId) {
      record.object->OnCommand(code);
      return;
    }
  }
}

std::vector<PluginSummary> PluginManager::List() const {
  std::vector<PluginSummary> list;
  for (const PluginRecord& record : records_) {
    list.push_back({record.name, record.version, record.pluginId, record.sourcePath});
  }
  return list;
}

std::vector<PluginMenuSource> PluginManager::MenuSources() {
  std::vector<PluginMenuSource> sources;
  for (PluginRecord& record : records_) {
    const char* name = record.object->GetName();
    sources.push_back({name ? name : "", record.object->GetMenu()});
  }
  return sources;
}

void PluginManager::UnloadAll() {
  while (!records_.empty()) {
    PluginRecord& record = records_.front();
    {
      PluginStopScope stopping(record.pluginId);
      record.object->Stop();
      std::this_thread::sleep_for(kAfterStop);
      record.module.Release();
    }
    records_.pop_front();
  }
  std::string install = InstallFolder();
  if (install.empty()) return;
  std::string temp = TempFolderOf(install);
  for (const FolderEntry& entry : ListFolder(temp)) {
    if (entry.isFile && IsPluginFileName(entry.name)) {
      RemoveFile(JoinPath(temp, entry.name));
    }
  }
  RemoveFolder(temp);
}

Singleton<PluginManager>& ThePluginManager() {
  static Singleton<PluginManager> manager;
  return manager;
}

void DestroyPluginManager() {
  Singleton<PluginManager>& holder = ThePluginManager();
  if (!holder.Exists()) return;
  {
    PluginManagerAccess manager(holder);
    manager->UnloadAll();
  }
  holder.Destroy();
}
