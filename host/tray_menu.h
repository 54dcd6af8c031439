#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/plugin_manager.h"
#include "plugin_api/plugin_api.h"

// One entry of the tray menu, independent of the window system.
struct TrayMenuItem {
  enum class Kind { Command, Separator, Submenu };
  Kind kind = Kind::Command;
  uint32_t id = 0;               // Command only
  std::string text;              // Command and Submenu
  MenuHandle submenu = nullptr;  // Submenu only
};

// The tray menu: "Manage plugins...", a separator, every plugin's submenu in
// list order, a separator when there is at least one plugin, "About", "Exit".
std::vector<TrayMenuItem> BuildTrayMenuItems(const std::vector<PluginMenuSource>& plugins);

// What a chosen menu identifier asks for.
struct MenuChoice {
  enum class Action { Nothing, ManagePlugins, About, Exit, PluginCommand };
  Action action = Action::Nothing;
  int32_t pluginId = 0;  // PluginCommand only
  int32_t code = 0;      // PluginCommand only
};

MenuChoice InterpretMenuChoice(uint32_t id);
