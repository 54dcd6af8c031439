#include "orvihttp/access/user_accounts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/file_system.h"
#include "tests/support/test_support.h"

namespace {

using Names = std::vector<std::string>;

constexpr char kKnownHash[] =
    "pbkdf2-sha256$600000$AAECAwQFBgcICQoLDA0ODw==$lqWQTC4IyNpCMF28xdfPGOrSY21J9ZUmtgbyZpYoFHM=";

TEST(UserAccounts, AccountsGoThroughTheFileAndOnlyTheirPasswordsLetIn) {
  TempFolder folder;
  const std::string path = folder.File(kUsersFileName);
  UserAccounts accounts;
  std::string why;
  ASSERT_TRUE(accounts.Add("alice", "wonder land", &why)) << why;
  ASSERT_TRUE(accounts.Add("J\xC3\xBCrgen", "zweite", &why)) << why;
  EXPECT_FALSE(accounts.Add("alice", "again", &why));
  EXPECT_NE(why.find("already"), std::string::npos) << why;
  EXPECT_FALSE(accounts.Add("everyone", "x", &why));
  EXPECT_FALSE(accounts.Add("#alice", "x", &why));  // would read back as a comment
  EXPECT_FALSE(accounts.Add("bob", "", &why));
  EXPECT_FALSE(accounts.SetPassword("bob", "x", &why));
  ASSERT_TRUE(WriteFileBytes(path + ".tmp", "left by a cut write"));
  ASSERT_TRUE(accounts.Save(path, &why)) << why;
  EXPECT_FALSE(IsFile(path + ".tmp"));

  const std::string text = ReadFileBytes(path);
  EXPECT_EQ(text.rfind("# Orvi HTTP Server accounts\n", 0), 0u) << text;
  EXPECT_EQ(text.find("wonder"), std::string::npos);
  EXPECT_EQ(text.find("zweite"), std::string::npos);

  UserAccounts loaded;
  std::vector<std::string> problems;
  ASSERT_TRUE(loaded.Load(path, &problems));
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(loaded.Names(), (Names{"alice", "J\xC3\xBCrgen"}));
  EXPECT_TRUE(loaded.Check("alice", "wonder land"));
  EXPECT_FALSE(loaded.Check("alice", "zweite"));
  EXPECT_FALSE(loaded.Check("Alice", "wonder land"));
  EXPECT_FALSE(loaded.Check("nobody", "wonder land"));

  ASSERT_TRUE(loaded.SetPassword("alice", "looking glass", &why)) << why;
  EXPECT_TRUE(loaded.Remove("J\xC3\xBCrgen"));
  EXPECT_FALSE(loaded.Remove("J\xC3\xBCrgen"));
  ASSERT_TRUE(loaded.Save(path, &why)) << why;
  UserAccounts again;
  ASSERT_TRUE(again.Load(path, &problems));
  EXPECT_EQ(again.Names(), (Names{"alice"}));
  EXPECT_TRUE(again.Check("alice", "looking glass"));
  EXPECT_EQ(again.Serialize(), ReadFileBytes(path));
}

TEST(UserAccounts, DamagedLinesAreReportedByNumberAndLetNobodyIn) {
  const std::string salt = "AAECAwQFBgcICQoLDA0ODw==";
  const std::string hash = "lqWQTC4IyNpCMF28xdfPGOrSY21J9ZUmtgbyZpYoFHM=";
  const std::string text = std::string("\xEF\xBB\xBF# accounts\r\n") +  // 1
                           "\r\n" +                                     // 2
                           "carol:" + kKnownHash + "\r\n" +             // 3: fine
                           "dave:pbkdf2-sha256$600000$AAECAwQFBgcICQoLDA0O$" + hash + "\n" +
                           "erin:pbkdf2-sha256$600000$" + salt + "$lqWQTC4IyNpCMF28\n" +
                           "frank:pbkdf2-sha256$99999999$" + salt + "$" + hash + "\n" +
                           "just some words\n" +              // 7
                           "bad name:" + kKnownHash + "\n" +  // 8
                           "carol:" + kKnownHash + "\n" +     // 9: repeated
                           "grace:" + kKnownHash;             // 10: no line end
  std::vector<std::string> problems;
  UserAccounts accounts = UserAccounts::Parse(text, &problems);
  EXPECT_EQ(accounts.Names(), (Names{"carol", "grace"}));
  ASSERT_EQ(problems.size(), 6u);
  const char* const lines[] = {"Line 4 ", "Line 5 ", "Line 6 ", "Line 7 ", "Line 8 ", "Line 9 "};
  for (size_t i = 0; i < problems.size(); ++i) {
    EXPECT_EQ(problems[i].rfind(lines[i], 0), 0u) << problems[i];
  }
  EXPECT_NE(problems[0].find("dave"), std::string::npos) << problems[0];
  for (const char* name : {"dave", "erin", "frank", "bad name"}) {
    EXPECT_FALSE(accounts.Contains(name)) << name;
  }
  EXPECT_FALSE(accounts.Check("frank", "correct horse"));
  EXPECT_TRUE(accounts.Check("grace", "correct horse"));

  std::vector<std::string> none;
  EXPECT_EQ(UserAccounts::Parse(accounts.Serialize(), &none).Names(), accounts.Names());
  EXPECT_TRUE(none.empty());
}

TEST(UserAccounts, AMissingFileHoldsNoAccountsAndAFolderIsRefused) {
  TempFolder folder;
  UserAccounts accounts;
  std::vector<std::string> problems;
  EXPECT_TRUE(accounts.Load(folder.File(kUsersFileName), &problems));
  EXPECT_TRUE(accounts.empty());
  EXPECT_FALSE(accounts.Load(folder.path(), &problems));
  EXPECT_EQ(problems.size(), 1u);
  std::string error;
  EXPECT_FALSE(accounts.Save(folder.File("no such folder/OrviHTTP.users"), &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
