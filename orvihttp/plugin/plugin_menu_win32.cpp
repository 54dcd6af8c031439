#include <windows.h>

#include "orvihttp/plugin/plugin_menu.h"

MenuHandle BuildServerMenu(int32_t pluginId) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  AppendMenuA(menu, MF_STRING, PluginMenuId(pluginId, 3), "Settings...");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, PluginMenuId(pluginId, 5), "Help");
  AppendMenuA(menu, MF_STRING, PluginMenuId(pluginId, 7), "About");
  return menu;
}
