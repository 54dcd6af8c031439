#include "orvihttp/plugin/server_plugin.h"

#include "orvihttp/plugin/plugin_menu.h"

namespace {
constexpr uint32_t kVersion = 0x00020001;
constexpr char kName[] = "Orvi HTTP Server";
}  // namespace

ServerPlugin::ServerPlugin() = default;

void ServerPlugin::Start() {}

void ServerPlugin::Stop() {}

uint32_t ServerPlugin::GetVersion() { return kVersion; }

const char* ServerPlugin::GetName() { return kName; }

MenuHandle ServerPlugin::GetMenu() { return BuildServerMenu(pluginId); }

int32_t ServerPlugin::OnCommand(int32_t) { return 0; }
