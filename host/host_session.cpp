#include "host/host_session.h"

#include <atomic>
#include <cstring>

#include "foundation/file_system.h"
#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "foundation/registry.h"
#include "foundation/settings.h"
#include "host/host_info.h"
#include "host/host_keys.h"
#include "host/plugin_manager.h"
#include "host/plugin_stop_scope.h"
#include "host/plugin_watcher.h"

namespace {

std::atomic<HostSession*> currentSession{nullptr};

std::optional<int32_t> FindPluginByName(const std::string& name) {
  PluginManagerAccess manager(ThePluginManager());
  return manager->FindByName(name);
}

// The registry's Path of the host, or the program's own folder, which is then
// stored there. A recorded folder that is gone, or that has no Plugins folder
// while the program's own folder has one, was left by a copy that has since
// been deleted or moved: following it would leave the host without plugins.
std::string FindInstallFolder() {
  const std::string own = ParentFolder(ExecutablePath());
  const std::string recorded = RegistryGet(kHostProduct, "Path");
  const bool recordedStands =
      !recorded.empty() && IsFolder(recorded) &&
      (IsFolder(JoinPath(recorded, kPluginsFolder)) || !IsFolder(JoinPath(own, kPluginsFolder)));
  if (recordedStands) return recorded;
  RegistrySet(kHostProduct, "Path", own);
  return own;
}

}  // namespace

HostSession::HostSession(HostPlatform& platform)
    : platform_(platform),
      title_(HostTitle()),
      tray_(platform.HostIcon(), title_, FindPluginByName,
            [this](IconHandle icon, const std::string& tip) { platform_.ShowTray(icon, tip); }) {}

HostSession::~HostSession() {
  HostSession* self = this;
  currentSession.compare_exchange_strong(self, nullptr);
}

HostSession* HostSession::Current() {
  return currentSession.load();
}

int HostSession::Run() {
  currentSession.store(this);
  platform_.EndRunningHost();
  if (!platform_.CreateHostWindow(title_)) {
    currentSession.store(nullptr);
    return 0;
  }
  platform_.AddTrayIcon(platform_.HostIcon(), title_);

  std::string install = FindInstallFolder();
  SetSetting(kHostInstallPath, install);

  PluginManager::SetHostHooks({HostCallback, [this](int32_t pluginId) {
                                 StatusRecord record = MakeStatusRecord(pluginId, 0, 0, nullptr);
                                 platform_.SendToHostWindow(StatusRemove, &record, sizeof record);
                               }});
  pluginsFolder_ = JoinPath(install, kPluginsFolder);
  watcher_ = std::make_unique<PluginWatcher>(pluginsFolder_,
                                             [this] { platform_.PostRescan(pluginsFolder_); });
  {
    // Making the manager makes the Plugins folder. Watching begins then,
    // before the first scan lists the folder, so a plugin file replaced while
    // that scan still loads the old one is reloaded right after it, not left
    // until some later change.
    PluginManagerAccess manager(ThePluginManager());
    watcher_->Arm();
    manager->Rescan();
  }
  // A failure is told only now, once the plugins have started.
  watcher_->Begin();

  SetDefault(kHostDialogOpen);
  SetDefault(kRotateIcon);
  SetDefault(kRotateSeconds);
  SetDefault(kStaticIcon);
  std::string settingsFile = JoinPath(install, kHostSettingsFile);
  LoadSettingsText(ReadFileText(settingsFile, 0));
  // The start-up period is fixed; RotateSeconds applies once the user
  // switches the mode in the settings dialog.
  platform_.StartRotationTimer(kStartupRotationPeriodMs);

  int exitCode = platform_.RunMessageLoop();

  platform_.StopRotationTimer();
  platform_.CloseManageDialog();
  platform_.DeleteTrayIcon();
  watcher_.reset();
  DestroyPluginManager();
  tray_.Clear();
  WriteFileText(settingsFile, SaveSettingsText());
  DestroySettings();
  platform_.ReleaseHostWindow();
  currentSession.store(nullptr);
  return exitCode;
}

void HostSession::OnCopyData(uint32_t code, const void* data, uint32_t count) {
  if (code == HostQuit) {
    platform_.Quit();
    return;
  }
  if (code >= StatusPriority0 && code <= StatusPriority2 && data && count == sizeof(StatusRecord)) {
    // A report that slips in while its plugin is being stopped would leave an
    // icon in the tray that dies with the plugin.
    int32_t pluginId;
    std::memcpy(&pluginId, data, sizeof pluginId);
    if (IsPluginStopping(pluginId)) return;
  }
  tray_.HandleMessage(code, data, count);
}

void HostSession::OnRotationTimer() {
  tray_.RotationStep();
}

void HostSession::OnRescanRequest() {
  PluginManagerAccess manager(ThePluginManager());
  manager->Rescan();
}

void HostSession::OnTrayDoubleClick() {
  auto target = tray_.DoubleClickTarget();
  if (!target) return;
  PluginManagerAccess manager(ThePluginManager());
  manager->Command(target->first, target->second);
}

std::vector<TrayMenuItem> HostSession::BuildMenu() {
  PluginManagerAccess manager(ThePluginManager());
  return BuildTrayMenuItems(manager->MenuSources());
}

void HostSession::OnMenuChoice(uint32_t id) {
  MenuChoice choice = InterpretMenuChoice(id);
  switch (choice.action) {
    case MenuChoice::Action::Nothing:
      break;
    case MenuChoice::Action::ManagePlugins:
      platform_.OpenManageDialog();
      break;
    case MenuChoice::Action::About:
      platform_.ShowAbout(AboutText());
      break;
    case MenuChoice::Action::Exit:
      platform_.Quit();
      break;
    case MenuChoice::Action::PluginCommand: {
      PluginManagerAccess manager(ThePluginManager());
      manager->Command(choice.pluginId, choice.code);
      break;
    }
  }
}
