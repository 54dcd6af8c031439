#include "orvihttp/plugin/server_plugin.h"

#include <chrono>
#include <string>
#include <thread>

#include "desktop/message_box.h"
#include "foundation/debug_output.h"
#include "foundation/free_memory.h"
#include "foundation/settings.h"
#include "orvihttp/config/server_keys.h"
#include "orvihttp/http/access_rules.h"
#include "orvihttp/http/upload_exchange.h"
#include "orvihttp/plugin/file_url.h"
#include "orvihttp/plugin/install_folder.h"
#include "orvihttp/plugin/open_url.h"
#include "orvihttp/plugin/plugin_menu.h"
#include "orvihttp/plugin/plugin_platform.h"
#include "orvihttp/plugin/server_configuration.h"
#include "orvihttp/plugin/server_texts.h"
#include "orvihttp/ui/plugin_resources.h"
#include "orvihttp/ui/server_socket_error.h"

namespace {

constexpr int32_t kSettingsCommand = 3;
constexpr int32_t kHelpCommand = 5;
constexpr int32_t kAboutCommand = 7;
constexpr int32_t kStatusPriority = 2;

void OpenHelpPage() {
  OpenUrl(FileUrlForPath(HelpPagePath(GetSetting(kInstallPath))));
}

}  // namespace

ServerPlugin::ServerPlugin()
    : settingsWindow_([this] { return CreateSettingsWindow(*server_, OpenHelpPage); }) {}

ServerPlugin::~ServerPlugin() {
  Thread::Stop();
}

void ServerPlugin::Start() try {
  if (started_.exchange(true)) return;
  InitialisePluginPlatform();
  LimitMemoryPools();

  std::string folder = FindInstallFolder();
  LoadServerConfiguration(folder);
  server_ = std::make_unique<Server>(CurrentServerSettings, SettingsGeneration);
  server_->directory().LoadTree(DirFilePath(folder));
  accessRules_ = std::make_unique<AccessRulesFiles>(folder);
  accessRules_->Load(*server_);
  // No upload runs yet: whatever a crash or a stop left half-written goes.
  RemoveLeftoverUploads(*server_, true);

  onlineIcon_ = LoadPluginIcon(ORVI_ICON_ONLINE);
  offlineIcon_ = LoadPluginIcon(ORVI_ICON_OFFLINE);
  busyIcon_ = LoadPluginIcon(ORVI_ICON_BUSY);

  bool portUnavailable = false;
  if (GetSetting(kActive)) {
    portUnavailable = server_->listener().Start() == ListenerStart::PortUnavailable;
    // Lets the server come up before the first status report.
    if (!portUnavailable) std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  Thread::Start();
  // Told once the status thread runs, so the tray shows the stopped server
  // while the box waits for the user.
  if (portUnavailable) TellServerSocketError();

  if (GetSetting(kFirstTime)) {
    SetSetting(kFirstTime, false);
    ShowMessageBox(kWelcomeText, kProductName, MessageIcon::None);
    settingsWindow_.Open();
  }
} catch (...) {
  ReportUncaughtException("ServerPlugin::Start");
}

void ServerPlugin::Stop() try {
  if (!started_.exchange(false)) return;
  // The status thread goes first: it reads every object destroyed below.
  // While it may be blocked in HostCallback, the host gives that call up (or
  // completes it) during this Stop, so the join cannot hang.
  Thread::Stop();
  settingsWindow_.CloseAndFree();

  std::string folder = GetSetting(kInstallPath);
  server_->directory().SaveTree(DirFilePath(folder));
  SaveServerConfiguration(folder);

  server_.reset();
  accessRules_.reset();
  DestroySettings();
  ShutdownPluginPlatform();
} catch (...) {
  ReportUncaughtException("ServerPlugin::Stop");
}

uint32_t ServerPlugin::GetVersion() noexcept {
  return kServerVersion;
}

const char* ServerPlugin::GetName() noexcept {
  return kProductName;
}

MenuHandle ServerPlugin::GetMenu() try { return BuildServerMenu(pluginId); } catch (...) {
  ReportUncaughtException("ServerPlugin::GetMenu");
  return nullptr;
}

int32_t ServerPlugin::OnCommand(int32_t code) try {
  switch (code) {
    case kSettingsCommand:
      settingsWindow_.Open();
      break;
    case kHelpCommand:
      OpenHelpPage();
      break;
    case kAboutCommand:
      ShowMessageBox(std::string(kServerBanner) + kAboutMaker, kAboutCaption,
                     MessageIcon::Information);
      break;
    default:
      break;
  }
  return 0;
} catch (...) {
  ReportUncaughtException("ServerPlugin::OnCommand");
  return 0;
}

void ServerPlugin::Report(ServerState state) {
  if (!hostCallback) return;
  switch (state) {
    case ServerState::Busy:
      hostCallback(pluginId, busyIcon_, kSettingsCommand, kStatusPriority, kProductName);
      break;
    case ServerState::Online:
      hostCallback(pluginId, onlineIcon_, kSettingsCommand, kStatusPriority,
                   (std::string(kProductName) + ": Online").c_str());
      break;
    case ServerState::Offline:
      hostCallback(pluginId, offlineIcon_, kSettingsCommand, kStatusPriority,
                   (std::string(kProductName) + ": Offline").c_str());
      break;
    case ServerState::None:
      break;
  }
}

void ServerPlugin::Run() {
  ServerState reported = ServerState::None;
  while (!StopRequested()) {
    std::size_t clients = server_->clients().LiveCount();
    ServerState state = !server_->listener().IsListening() ? ServerState::Offline
                        : clients > 0                      ? ServerState::Busy
                                                           : ServerState::Online;
    if (state != reported) {
      Report(state);
      reported = state;
    }
    if (pause_.Wait(1000) == Semaphore::WaitResult::Stopped || StopRequested()) break;
    settingsWindow_.FreeIfClosed();
    server_->clients().Purge();
    accessRules_->ReloadIfChanged(*server_);
  }
}
