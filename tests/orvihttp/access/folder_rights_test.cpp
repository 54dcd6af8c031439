#include "orvihttp/access/folder_rights.h"

#include <gtest/gtest.h>

#include "foundation/file_system.h"
#include "tests/support/test_support.h"

namespace {

RightHolders Holders(const std::string& text) {
  std::optional<RightHolders> holders = RightHolders::Parse(text);
  EXPECT_TRUE(holders) << text;
  return holders ? *holders : RightHolders{};
}

const RightHolders kNobody{RightHolders::Kind::Names, {}};

}  // namespace

TEST(FolderRights, HoldersAdmitByKind) {
  const std::string alice = "alice";
  const std::string carol = "carol";
  const RightHolders everyone = Holders("everyone");
  const RightHolders accounts = Holders("Accounts");
  const RightHolders named = Holders("alice,bob");
  EXPECT_TRUE(everyone.Admits(nullptr));
  EXPECT_FALSE(accounts.Admits(nullptr));
  EXPECT_TRUE(accounts.Admits(&carol));
  EXPECT_FALSE(named.Admits(nullptr));
  EXPECT_TRUE(named.Admits(&alice));
  EXPECT_FALSE(named.Admits(&carol));
  EXPECT_FALSE(kNobody.Admits(&alice));
  EXPECT_EQ(everyone.Text(), "everyone");
  EXPECT_EQ(accounts.Text(), "accounts");
  EXPECT_EQ(named.Text(), "alice,bob");
  for (const char* bad : {"alice,alice", "alice,", "a b", "alice,everyone"}) {
    std::string why;
    EXPECT_FALSE(RightHolders::Parse(bad, &why)) << bad;
    EXPECT_FALSE(why.empty()) << bad;
  }
}

TEST(FolderRights, RulesAreInheritedFromTheNearestFolderThatSetsThem) {
  FolderRightsTable table;
  EXPECT_TRUE(table.empty());
  EXPECT_EQ(table.Effective("/a/b", FolderRight::See), Holders("everyone"));
  table.Set("/a", FolderRight::See, Holders("alice,bob"));
  table.Set("/a/b/c/", FolderRight::See, Holders("accounts"));
  table.Set("/", FolderRight::Upload, kNobody);
  EXPECT_FALSE(table.empty());
  EXPECT_EQ(table.Folders(), (std::vector<std::string>{"/", "/a", "/a/b/c"}));

  std::string from;
  EXPECT_EQ(table.Effective("/index.html", FolderRight::See, &from), Holders("everyone"));
  EXPECT_EQ(from, "/");
  EXPECT_EQ(table.Effective("/a/b/file.txt", FolderRight::See, &from), Holders("alice,bob"));
  EXPECT_EQ(from, "/a");
  EXPECT_EQ(table.Effective("/a/b/c/d/e", FolderRight::See, &from), Holders("accounts"));
  EXPECT_EQ(from, "/a/b/c");
  EXPECT_EQ(table.Effective("/a/b/c", FolderRight::Upload, &from), kNobody);
  EXPECT_EQ(from, "/");
  // Deleting is for nobody until a folder says otherwise.
  EXPECT_EQ(table.Effective("/a", FolderRight::Delete), kNobody);
  EXPECT_EQ(table.Own("/a/b", FolderRight::See), std::nullopt);

  table.Unset("/a/b/c", FolderRight::See);
  EXPECT_EQ(table.Effective("/a/b/c/d", FolderRight::See), Holders("alice,bob"));
  EXPECT_EQ(table.Folders(), (std::vector<std::string>{"/", "/a"}));
}

TEST(FolderRights, EverySpellingOfAFolderMeetsItsRule) {
  FolderRightsTable table;
  table.Set("/a", FolderRight::See, Holders("alice"));
  for (const char* path : {"/a", "/a/x", "/A/x", "/a./x", "/a ", "/a. . /x", "//a/x", "/./a/x",
                           "/a/../a/x", "/../../a/x", "a/x", "/b/../A/x/", "/a/.../x"}) {
    EXPECT_EQ(table.Effective(path, FolderRight::See), Holders("alice")) << path;
  }
  for (const char* path : {"/ab", "/b/a", "/a/..", "/.a/x", "/", ""}) {
    EXPECT_EQ(table.Effective(path, FolderRight::See), Holders("everyone")) << path;
  }
  // Two folders that differ only in case: a request that could be either
  // must pass both rules.
  table.Set("/A", FolderRight::See, Holders("alice,bob"));
  table.Set("/a", FolderRight::See, Holders("bob,carol"));
  EXPECT_EQ(table.Effective("/a/x", FolderRight::See), Holders("bob"));
}

TEST(FolderRights, RulesFollowARenamedOrRemovedFolder) {
  FolderRightsTable table;
  table.Set("/docs", FolderRight::See, Holders("alice"));
  table.Set("/docs/old", FolderRight::Delete, kNobody);
  table.Set("/docsx", FolderRight::See, Holders("bob"));
  table.RenameFolder("/docs", "/papers");
  EXPECT_EQ(table.Folders(), (std::vector<std::string>{"/docsx", "/papers", "/papers/old"}));
  EXPECT_EQ(table.Effective("/papers/old/f", FolderRight::Delete), kNobody);
  EXPECT_EQ(table.Effective("/docs/f", FolderRight::See), Holders("everyone"));
  table.RemoveFolder("/papers");
  EXPECT_EQ(table.Folders(), (std::vector<std::string>{"/docsx"}));
  table.RemoveFolder("/");
  EXPECT_TRUE(table.empty());
}

TEST(FolderRights, FileRoundTripThroughARealFile) {
  TempFolder folder;
  const std::string file = folder.File(kRightsFileName);
  FolderRightsTable table;
  std::vector<std::string> problems;
  ASSERT_TRUE(table.Load(file, &problems));  // missing: no rules
  EXPECT_TRUE(table.empty());

  table.Set("/", FolderRight::Upload, Holders("accounts"));
  table.Set("/odd\t100%\r\nname", FolderRight::See, Holders("alice,bob"));
  table.Set("/odd\t100%\r\nname", FolderRight::Delete, kNobody);
  table.Set("/caf\xE9", FolderRight::See, Holders("J\xC3\xBCrgen"));
  std::string error;
  ASSERT_TRUE(table.Save(file, &error)) << error;
  EXPECT_FALSE(IsFile(file + ".tmp"));
  EXPECT_EQ(ReadFileBytes(file),
            "# Orvi HTTP Server folder rights\n"
            "/\tupload=accounts\n"
            "/caf%E9\tsee=J\xC3\xBCrgen\n"
            "/odd%09100%25%0D%0Aname\tsee=alice,bob\tdelete=\n");

  FolderRightsTable loaded;
  ASSERT_TRUE(loaded.Load(file, &problems));
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(loaded.Serialize(), table.Serialize());
  EXPECT_EQ(loaded.Effective("/odd\t100%\r\nname/x", FolderRight::Delete), kNobody);

  // Saving again replaces the file; saving no rules removes it.
  loaded.Unset("/", FolderRight::Upload);
  ASSERT_TRUE(loaded.Save(file, &error));
  EXPECT_EQ(ReadFileBytes(file).find("upload=accounts"), std::string::npos);
  ASSERT_TRUE(FolderRightsTable{}.Save(file, &error));
  EXPECT_FALSE(IsFile(file));
}

TEST(FolderRights, ALineThatCannotBeReadClosesItsFolder) {
  std::vector<std::string> problems;
  FolderRightsTable table = FolderRightsTable::Parse(
      "# Orvi HTTP Server folder rights\r\n"
      "/open\tupload=alice\r\n"
      "\r\n"
      "/shut\tsee=everyone\tupload=bad name\r\n"
      "/also\tfly=alice\r\n"
      "/bad%zz\tsee=alice\r\n"
      "no slash\tsee=alice\r\n",
      &problems);
  ASSERT_EQ(problems.size(), 4u);
  EXPECT_EQ(problems[0].rfind("line 4: ", 0), 0u) << problems[0];
  EXPECT_EQ(problems[1].rfind("line 5: ", 0), 0u) << problems[1];
  EXPECT_EQ(problems[2].rfind("line 6: ", 0), 0u) << problems[2];
  EXPECT_EQ(table.Folders(), (std::vector<std::string>{"/also", "/open", "/shut"}));
  for (FolderRight right : kFolderRights) {
    EXPECT_EQ(table.Effective("/shut/x", right), kNobody);
    EXPECT_EQ(table.Effective("/also", right), kNobody);
  }
  EXPECT_EQ(table.Effective("/open", FolderRight::Upload), Holders("alice"));
}

TEST(FolderRights, AnUploadFolderIsTheFoldersOwnAndSurvivesTheFile) {
  FolderRightsTable table;
  table.SetUploadTo("/inbox/", "/srv/in\tbox%");
  table.Set("/inbox", FolderRight::Upload, Holders("alice"));
  EXPECT_EQ(table.UploadTo("/inbox"), "/srv/in\tbox%");
  EXPECT_FALSE(table.UploadTo("/inbox/sub"));  // not inherited
  EXPECT_FALSE(table.UploadTo("/"));
  const std::string text = table.Serialize();
  EXPECT_NE(text.find("/inbox\tupload=alice\tupload-to=/srv/in%09box%25\n"), std::string::npos)
      << text;
  std::vector<std::string> problems;
  const FolderRightsTable read = FolderRightsTable::Parse(text, &problems);
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(read.UploadTo("/inbox"), "/srv/in\tbox%");
  EXPECT_EQ(read.UploadFolders(), std::vector<std::string>{"/srv/in\tbox%"});
  table.SetUploadTo("/inbox", std::nullopt);
  EXPECT_FALSE(table.UploadTo("/inbox"));
  EXPECT_TRUE(table.Own("/inbox", FolderRight::Upload));
}

TEST(FolderRights, ABrokenUploadFolderClosesItsFolder) {
  for (const char* line : {"/inbox\tupload-to=%zz\n", "/inbox\tupload-to=\n",
                           "/inbox\tupload-to=/a\tupload-to=/b\n", "/inbox\tupload_to=/a\n"}) {
    std::vector<std::string> problems;
    const FolderRightsTable table = FolderRightsTable::Parse(line, &problems);
    EXPECT_EQ(problems.size(), 1u) << line;
    EXPECT_FALSE(table.UploadTo("/inbox")) << line;
    for (FolderRight right : kFolderRights) {
      EXPECT_EQ(table.Effective("/inbox/x", right), kNobody) << line;
    }
  }
}
