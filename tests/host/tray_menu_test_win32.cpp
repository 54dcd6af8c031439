#include <gtest/gtest.h>

#include <string>

#include "host/tray_menu_win32.h"

namespace {

std::string ItemText(HMENU menu, UINT position) {
  char text[64] = {};
  GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
  return text;
}

bool IsSeparator(HMENU menu, UINT position) {
  return (GetMenuState(menu, position, MF_BYPOSITION) & MF_SEPARATOR) != 0;
}

TEST(TrayPopupMenu, WithoutPluginsIsManageSeparatorAboutExit) {
  HMENU menu = CreateTrayPopupMenu(BuildTrayMenuItems({}));
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(GetMenuItemCount(menu), 4);
  EXPECT_EQ(ItemText(menu, 0), "Manage plugins...");
  EXPECT_EQ(GetMenuItemID(menu, 0), 0xFFFCu);
  EXPECT_TRUE(IsSeparator(menu, 1));
  EXPECT_EQ(ItemText(menu, 2), "About");
  EXPECT_EQ(GetMenuItemID(menu, 2), 0xFFFEu);
  EXPECT_EQ(ItemText(menu, 3), "Exit");
  EXPECT_EQ(GetMenuItemID(menu, 3), 0xFFFFu);
  EXPECT_TRUE(DestroyMenu(menu));
}

TEST(TrayPopupMenu, PluginMenusBecomeSubmenusAndGoWithTheMenu) {
  HMENU plugin = CreatePopupMenu();
  AppendMenuA(plugin, MF_STRING, PluginMenuId(2, 3), "Settings...");
  HMENU menu = CreateTrayPopupMenu(BuildTrayMenuItems({{"Server", plugin}, {"Silent", nullptr}}));
  ASSERT_EQ(GetMenuItemCount(menu), 7);
  EXPECT_EQ(ItemText(menu, 2), "Server");
  EXPECT_EQ(GetSubMenu(menu, 2), plugin);
  EXPECT_EQ(GetMenuItemID(plugin, 0), PluginMenuId(2, 3));
  // A plugin without a menu is shown, greyed, and chooses nothing.
  EXPECT_EQ(ItemText(menu, 3), "Silent");
  EXPECT_TRUE(GetMenuState(menu, 3, MF_BYPOSITION) & MF_GRAYED);
  EXPECT_TRUE(IsSeparator(menu, 4));
  EXPECT_TRUE(DestroyMenu(menu));
  EXPECT_FALSE(IsMenu(plugin)) << "destroyed together with the tray menu";
}

}  // namespace
