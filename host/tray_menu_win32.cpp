#include "host/tray_menu_win32.h"

HMENU CreateTrayPopupMenu(const std::vector<TrayMenuItem>& items) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  for (const TrayMenuItem& item : items) {
    switch (item.kind) {
      case TrayMenuItem::Kind::Command:
        AppendMenuA(menu, MF_STRING, item.id, item.text.c_str());
        break;
      case TrayMenuItem::Kind::Separator:
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        break;
      case TrayMenuItem::Kind::Submenu:
        if (item.submenu) {
          AppendMenuA(menu, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(item.submenu),
                      item.text.c_str());
        } else {
          AppendMenuA(menu, MF_STRING | MF_GRAYED, kMenuNothing, item.text.c_str());
        }
        break;
    }
  }
  return menu;
}
