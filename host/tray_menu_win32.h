#pragma once

#include <windows.h>

#include <vector>

#include "host/tray_menu.h"

// The tray menu as a Windows popup menu; destroying it destroys the plugins'
// submenus with it. A plugin without a menu gets its name as a grey item.
HMENU CreateTrayPopupMenu(const std::vector<TrayMenuItem>& items);
