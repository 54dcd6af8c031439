#include "host/tray_menu.h"

std::vector<TrayMenuItem> BuildTrayMenuItems(const std::vector<PluginMenuSource>& plugins) {
  using Kind = TrayMenuItem::Kind;
  std::vector<TrayMenuItem> items;
  items.push_back({Kind::Command, kMenuManagePlugins, "Manage plugins...", nullptr});
  items.push_back({Kind::Separator, 0, std::string(), nullptr});
  for (const PluginMenuSource& plugin : plugins) {
    items.push_back({Kind::Submenu, 0, plugin.name, plugin.menu});
  }
  if (!plugins.empty()) items.push_back({Kind::Separator, 0, std::string(), nullptr});
  items.push_back({Kind::Command, kMenuAbout, "About", nullptr});
  items.push_back({Kind::Command, kMenuExit, "Exit", nullptr});
  return items;
}

MenuChoice InterpretMenuChoice(uint32_t id) {
  MenuChoice choice;
  switch (id) {
    case 0:
    case kMenuNothing:
      break;
    case kMenuManagePlugins:
      choice.action = MenuChoice::Action::ManagePlugins;
      break;
    case kMenuAbout:
      choice.action = MenuChoice::Action::About;
      break;
    case kMenuExit:
      choice.action = MenuChoice::Action::Exit;
      break;
    default:
      choice.action = MenuChoice::Action::PluginCommand;
      choice.pluginId = MenuIdPlugin(id);
      choice.code = MenuIdCode(id);
      break;
  }
  return choice;
}
