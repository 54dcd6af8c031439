#pragma once

#include <cstdint>

#include "plugin_api/plugin_api.h"

// The plugin's tray submenu: "Settings..." (3), a separator, "Help" (5),
// "About" (7).
MenuHandle BuildServerMenu(int32_t pluginId);
