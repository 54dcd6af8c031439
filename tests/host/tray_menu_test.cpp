#include "host/tray_menu.h"

#include <gtest/gtest.h>

namespace {

using Kind = TrayMenuItem::Kind;

TEST(TrayMenu, WithoutPluginsHasOneSeparator) {
  std::vector<TrayMenuItem> items = BuildTrayMenuItems({});
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].kind, Kind::Command);
  EXPECT_EQ(items[0].text, "Manage plugins...");
  EXPECT_EQ(items[0].id, 0xFFFCu);
  EXPECT_EQ(items[1].kind, Kind::Separator);
  EXPECT_EQ(items[2].kind, Kind::Command);
  EXPECT_EQ(items[2].text, "About");
  EXPECT_EQ(items[2].id, 0xFFFEu);
  EXPECT_EQ(items[3].kind, Kind::Command);
  EXPECT_EQ(items[3].text, "Exit");
  EXPECT_EQ(items[3].id, 0xFFFFu);
}

TEST(TrayMenu, PluginSubmenusSitBetweenTwoSeparatorsInListOrder) {
  int first = 0;
  int second = 0;
  std::vector<TrayMenuItem> items = BuildTrayMenuItems({{"First", &first}, {"Second", &second}});
  ASSERT_EQ(items.size(), 7u);
  EXPECT_EQ(items[1].kind, Kind::Separator);
  EXPECT_EQ(items[2].kind, Kind::Submenu);
  EXPECT_EQ(items[2].text, "First");
  EXPECT_EQ(items[2].submenu, &first);
  EXPECT_EQ(items[3].text, "Second");
  EXPECT_EQ(items[3].submenu, &second);
  EXPECT_EQ(items[4].kind, Kind::Separator);
  EXPECT_EQ(items[5].text, "About");
  EXPECT_EQ(items[6].text, "Exit");
}

TEST(TrayMenu, ChoicesSplitIntoHostActionsAndPluginCommands) {
  using Action = MenuChoice::Action;
  EXPECT_EQ(InterpretMenuChoice(0).action, Action::Nothing);
  EXPECT_EQ(InterpretMenuChoice(0xFFFD).action, Action::Nothing);
  EXPECT_EQ(InterpretMenuChoice(0xFFFC).action, Action::ManagePlugins);
  EXPECT_EQ(InterpretMenuChoice(0xFFFE).action, Action::About);
  EXPECT_EQ(InterpretMenuChoice(0xFFFF).action, Action::Exit);

  MenuChoice choice = InterpretMenuChoice(PluginMenuId(3, 7));
  EXPECT_EQ(choice.action, Action::PluginCommand);
  EXPECT_EQ(choice.pluginId, 3);
  EXPECT_EQ(choice.code, 7);
  choice = InterpretMenuChoice(PluginMenuId(255, 0xFB));
  EXPECT_EQ(choice.action, Action::PluginCommand);
  EXPECT_EQ(choice.pluginId, 255);
  EXPECT_EQ(choice.code, 0xFB);

  // Code 0 of plugin 0 cannot be told from no choice, and the top codes of
  // plugin 255 are the host's own items.
  EXPECT_EQ(InterpretMenuChoice(PluginMenuId(0, 0)).action, Action::Nothing);
  EXPECT_EQ(InterpretMenuChoice(PluginMenuId(255, 0xFF)).action, Action::Exit);
  EXPECT_EQ(InterpretMenuChoice(PluginMenuId(255, 0xFC)).action, Action::ManagePlugins);
}

}  // namespace
