#include "orvihttp/plugin/plugin_menu.h"

MenuHandle BuildServerMenu(int32_t pluginId) {
  PortableMenu* menu = CreatePortableMenu();
  menu = AppendPortableMenuItem(menu, PluginMenuId(pluginId, 3), "Settings...");
  menu = AppendPortableMenuItem(menu, 0, nullptr);
  menu = AppendPortableMenuItem(menu, PluginMenuId(pluginId, 5), "Help");
  menu = AppendPortableMenuItem(menu, PluginMenuId(pluginId, 7), "About");
  return menu;
}
