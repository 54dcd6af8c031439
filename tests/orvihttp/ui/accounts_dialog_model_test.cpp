// The Accounts dialog's working copy against a real accounts file in a
// temporary install folder and a real server on loopback: what it refuses,
// what OK writes and puts in force, and that Cancel leaves everything alone.
#include "orvihttp/ui/accounts_dialog_model.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/clock.h"
#include "foundation/file_system.h"
#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "orvihttp/access/sign_in_sessions.h"
#include "orvihttp/http/access_rules.h"
#include "orvihttp/tls/base64_text.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/orvihttp/http/server_fixture.h"

namespace {

class AccountsDialogModelTest : public ServerTest {
 protected:
  std::string UsersFile() const { return JoinPath(install_.path(), kUsersFileName); }

  // A folder only signed-in accounts may see.
  void ProtectDocs() {
    Publish("/docs/a.txt", "secret");
    WriteFileText(JoinPath(install_.path(), "OrviHTTP.rights"), "/docs\tsee=accounts\n");
  }

  std::string StatusOf(const std::string& extraHeaders) {
    HttpTestClient client(port_);
    client.Send("GET /docs/a.txt HTTP/1.1\r\nHost: x\r\n" + extraHeaders +
                "Connection: close\r\n\r\n");
    // A password's hash takes the server seconds under the sanitizers.
    const std::string response = client.ReadResponse(false, 60000);
    // The status code alone.
    return response.size() >= 12 ? response.substr(9, 3) : "no answer";
  }

  static std::string Basic(const std::string& name, const std::string& password) {
    return "Authorization: Basic " + EncodeBase64(name + ":" + password) + "\r\n";
  }

  TempFolder install_;
};

TEST_F(AccountsDialogModelTest, RefusalsSayWhyAndChangeNothing) {
  AccountsDialogModel model(install_.path());
  EXPECT_EQ(model.loadError(), "");
  EXPECT_NE(model.Add("", "pw", "pw"), "");
  EXPECT_NE(model.Add("two words", "pw", "pw"), "");
  EXPECT_NE(model.Add("everyone", "pw", "pw"), "");
  EXPECT_NE(model.Add("#alice", "pw", "pw"), "");
  EXPECT_EQ(model.Add("alice", "", ""), kEmptyPasswordText);
  EXPECT_EQ(model.Add("alice", "one", "two"), kPasswordsDifferText);
  EXPECT_EQ(model.SetPassword("", "pw", "pw"), kNoAccountSelectedText);
  EXPECT_EQ(model.SetPassword("nobody", "pw", "pw"), kNoAccountSelectedText);
  EXPECT_EQ(model.Remove("nobody"), kNoAccountSelectedText);
  EXPECT_TRUE(model.Names().empty());
  EXPECT_FALSE(model.changed());

  // Nothing to write: OK leaves the install without an accounts file.
  EXPECT_EQ(model.Commit(server()), "");
  EXPECT_FALSE(IsFile(UsersFile()));
}

TEST_F(AccountsDialogModelTest, AnExistingNameIsRefusedAndCancelWritesNothing) {
  {
    AccountsDialogModel model(install_.path());
    ASSERT_EQ(model.Add("alice", "wonder", "wonder"), "");
    EXPECT_EQ(model.Add("alice", "other", "other"), "An account named \"alice\" exists already.");
    EXPECT_EQ(model.Names(), std::vector<std::string>{"alice"});
    // Cancel: the model goes without Commit.
  }
  EXPECT_FALSE(IsFile(UsersFile()));
}

TEST_F(AccountsDialogModelTest, OkSavesThePasswordAndPutsItInForceAtOnce) {
  ProtectDocs();
  StartServer();
  AccountsDialogModel model(install_.path());
  ASSERT_EQ(model.Add("alice", "wonder land", "wonder land"), "");
  ASSERT_EQ(model.Commit(server()), "");

  const std::string text = ReadFileText(UsersFile(), 0);
  EXPECT_NE(text.find("alice:pbkdf2-sha256$"), std::string::npos) << text;
  EXPECT_EQ(text.find("wonder"), std::string::npos) << "only the hash is written";
  EXPECT_EQ(StatusOf(""), "401");
  EXPECT_EQ(StatusOf(Basic("alice", "wonder land")), "200");
  EXPECT_EQ(StatusOf(Basic("alice", "wrong")), "401");
}

TEST_F(AccountsDialogModelTest, ANewPasswordEndsTheAccountsSessionsAndRemovalLocksItOut) {
  ProtectDocs();
  UserAccounts accounts;
  ASSERT_TRUE(accounts.Add("alice", "old", nullptr));
  ASSERT_TRUE(accounts.Save(UsersFile()));
  AccountsDialogModel reopened(install_.path());
  EXPECT_EQ(reopened.Names(), std::vector<std::string>{"alice"});
  StartServer();
  LoadAccessRules(server(), install_.path());

  const AccessGate::SignInResult signedIn =
      server().access().SignIn("alice", "old", "127.0.0.1", true, NowMs());
  ASSERT_EQ(signedIn.outcome, AccessGate::SignInResult::Outcome::SignedIn);
  const std::string cookie =
      "Cookie: " + std::string(kSessionCookieName) + "=" + signedIn.token + "\r\n";
  EXPECT_EQ(StatusOf(cookie), "200");

  ASSERT_EQ(reopened.SetPassword("alice", "new", "new"), "");
  ASSERT_EQ(reopened.Commit(server()), "");
  EXPECT_EQ(StatusOf(cookie), "401") << "the old session ended";
  EXPECT_EQ(StatusOf(Basic("alice", "old")), "401");
  EXPECT_EQ(StatusOf(Basic("alice", "new")), "200");

  ASSERT_EQ(reopened.Remove("alice"), "");
  EXPECT_TRUE(reopened.Names().empty());
  ASSERT_EQ(reopened.Commit(server()), "");
  EXPECT_EQ(StatusOf(Basic("alice", "new")), "401");
  UserAccounts saved;
  ASSERT_TRUE(saved.Load(UsersFile(), nullptr));
  EXPECT_TRUE(saved.empty());
}

TEST_F(AccountsDialogModelTest, AnUnreadableFileIsNotWrittenOver) {
  // A folder where the file should be cannot be read as accounts.
  ASSERT_TRUE(CreateFolder(UsersFile()));
  AccountsDialogModel model(install_.path());
  EXPECT_NE(model.loadError(), "");
  ASSERT_EQ(model.Add("bob", "pw", "pw"), "");
  EXPECT_EQ(model.Commit(server()), model.loadError());
  EXPECT_TRUE(IsFolder(UsersFile()));
}

}  // namespace
