// The Settings page's blacklist edits and PHP folder check.
#include "orvihttp/ui/settings_page_model.h"

#include <gtest/gtest.h>

#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "orvihttp/http/ip_blacklist.h"
#include "tests/support/test_support.h"

namespace {

TEST(SettingsPageModel, TypedAddressesJoinTheBlacklistOnceInTheirOrder) {
  IpBlacklist blacklist;
  EXPECT_FALSE(AddTypedAddressToBlacklist(blacklist, ""));
  EXPECT_FALSE(AddTypedAddressToBlacklist(blacklist, "0.0.0.0"));
  EXPECT_TRUE(AddTypedAddressToBlacklist(blacklist, "10.0.0.5"));
  EXPECT_TRUE(AddTypedAddressToBlacklist(blacklist, "10.0.0.1"));
  EXPECT_FALSE(AddTypedAddressToBlacklist(blacklist, "10.0.0.5"));
  // Any text is taken as it is, case and all.
  EXPECT_TRUE(AddTypedAddressToBlacklist(blacklist, "Host.example"));
  EXPECT_TRUE(AddTypedAddressToBlacklist(blacklist, "host.example"));
  EXPECT_EQ(blacklist.Addresses(),
            (std::vector<std::string>{"10.0.0.5", "10.0.0.1", "Host.example", "host.example"}));
  EXPECT_EQ(UnbanQuestion("10.0.0.1"), "Really remove the ban on IP 10.0.0.1?");
}

TEST(SettingsPageModel, PhpFolderMustHoldTheCgiProgram) {
  TempFolder folder;
  EXPECT_FALSE(PhpProgramIn(folder.path()));
  EXPECT_FALSE(PhpProgramIn(""));
  // A folder of that name is not the program.
  ASSERT_TRUE(CreateFolder(folder.File("php-cgi.exe")));
  EXPECT_FALSE(PhpProgramIn(folder.path()));

  TempFolder php;
  ASSERT_TRUE(WriteFileBytes(php.File("php-cgi.exe"), "MZ"));
  std::optional<std::string> program = PhpProgramIn(php.path());
  ASSERT_TRUE(program);
  EXPECT_EQ(*program, JoinPath(php.path(), "php-cgi.exe"));
}

}  // namespace

TEST(SettingsPageModel, FolderArchivesCanBeTickedOnlyWhileListingsAreServed) {
  EXPECT_TRUE(FolderArchivesBoxEnabled(true));
  EXPECT_FALSE(FolderArchivesBoxEnabled(false));
}

TEST(SettingsPageModel, KeepPhpRunningCanBeTickedOnlyWhilePhpIsEnabled) {
  EXPECT_TRUE(PhpModeBoxEnabled(true));
  EXPECT_FALSE(PhpModeBoxEnabled(false));
}
