// The Permissions dialog's rows against a real rights table: what a folder
// shows as its own and inherited rules, what it refuses, and that stored
// choices read back the same.
#include "orvihttp/ui/permissions_dialog_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

RightHolders Only(Names names) {
  RightHolders holders;
  holders.kind = RightHolders::Kind::Names;
  holders.names = std::move(names);
  return holders;
}

TEST(PermissionsDialogModel, RowsNameTheirRightAndWhatTheFolderInherits) {
  FolderRightsTable rights;
  EXPECT_EQ(PermissionsTitle("/docs"), "Permissions of /docs");
  EXPECT_STREQ(PermissionRowLabel(FolderRight::See), "Who may see and download");
  EXPECT_STREQ(PermissionRowLabel(FolderRight::Upload), "Who may upload");
  EXPECT_STREQ(PermissionRowLabel(FolderRight::Delete), "Who may delete");
  EXPECT_EQ(PermissionChoiceTexts(rights, "/docs", FolderRight::See),
            (Names{"Inherited (everyone, as with no rule)", "Everyone", "Any signed-in account",
                   "Only these accounts:"}));

  rights.Set("/docs", FolderRight::See, Only({"alice", "bob"}));
  rights.Set("/", FolderRight::Upload, RightHolders{RightHolders::Kind::Accounts, {}});
  rights.Set("/", FolderRight::Delete, Only({}));
  EXPECT_EQ(PermissionChoiceTexts(rights, "/docs/old", FolderRight::See)[0],
            "Inherited (only alice, bob from /docs)");
  EXPECT_EQ(PermissionChoiceTexts(rights, "/docs/old", FolderRight::Upload)[0],
            "Inherited (any signed-in account from /)");
  EXPECT_EQ(PermissionChoiceTexts(rights, "/docs", FolderRight::Delete)[0],
            "Inherited (nobody from /)");
  // The folder's own rule is not what it inherits; the root inherits nothing.
  EXPECT_EQ(PermissionChoiceTexts(rights, "/docs", FolderRight::See)[0],
            "Inherited (everyone, as with no rule)");
  EXPECT_EQ(PermissionChoiceTexts(rights, "/", FolderRight::Upload)[0],
            "Inherited (everyone, as with no rule)");
}

TEST(PermissionsDialogModel, StoredChoicesReadBackAsTheFoldersOwnRules) {
  FolderRightsTable rights;
  PermissionChoices none = PermissionChoicesOf(rights, "/docs");
  EXPECT_EQ(none, PermissionChoices{});
  EXPECT_FALSE(StorePermissionChoices(none, rights, "/docs"));
  EXPECT_TRUE(rights.empty()) << "an untouched dialog adds no rule";

  PermissionChoices chosen;
  chosen.rows[0] = {PermissionChoice::OnlyNames, " alice ,bob,, alice"};
  chosen.rows[1] = {PermissionChoice::AnyAccount, ""};
  chosen.rows[2] = {PermissionChoice::Everyone, ""};
  EXPECT_TRUE(StorePermissionChoices(chosen, rights, "/docs"));
  EXPECT_EQ(rights.Own("/docs", FolderRight::See), Only({"alice", "bob"}));
  EXPECT_EQ(rights.Own("/docs", FolderRight::Upload)->kind, RightHolders::Kind::Accounts);
  EXPECT_EQ(rights.Own("/docs", FolderRight::Delete)->kind, RightHolders::Kind::Everyone);

  const PermissionChoices back = PermissionChoicesOf(rights, "/docs");
  EXPECT_EQ(back.rows[0], (PermissionRow{PermissionChoice::OnlyNames, "alice, bob"}));
  EXPECT_EQ(back.rows[1].choice, PermissionChoice::AnyAccount);
  EXPECT_EQ(back.rows[2].choice, PermissionChoice::Everyone);
  EXPECT_FALSE(StorePermissionChoices(back, rights, "/docs")) << "the same rules again";

  // Inherited takes the folder's own rule away again.
  EXPECT_TRUE(StorePermissionChoices(PermissionChoices{}, rights, "/docs"));
  EXPECT_TRUE(rights.empty());
}

TEST(PermissionsDialogModel, NamesMustBeExistingAccounts) {
  const Names accounts{"alice", "bob"};
  PermissionChoices chosen;
  EXPECT_EQ(CheckPermissionChoices(chosen, accounts), "");
  chosen.rows[0] = {PermissionChoice::OnlyNames, "alice, bob"};
  EXPECT_EQ(CheckPermissionChoices(chosen, accounts), "");

  chosen.rows[1] = {PermissionChoice::OnlyNames, "alice, carol"};
  EXPECT_EQ(CheckPermissionChoices(chosen, accounts),
            "Who may upload: there is no account named \"carol\". Add it with Accounts... on the "
            "Settings page first.");
  chosen.rows[1] = {PermissionChoice::OnlyNames, " , "};
  EXPECT_EQ(CheckPermissionChoices(chosen, accounts),
            "Who may upload: name at least one account, separated by commas.");
  // Names typed under another choice are not looked at.
  chosen.rows[1] = {PermissionChoice::Everyone, "carol"};
  EXPECT_EQ(CheckPermissionChoices(chosen, accounts), "");
  // Account names keep their letter case.
  chosen.rows[2] = {PermissionChoice::OnlyNames, "Alice"};
  EXPECT_NE(CheckPermissionChoices(chosen, accounts), "");
}

}  // namespace
