#include "orvihttp/access/access_gate.h"

#include <gtest/gtest.h>

#include "orvihttp/access/sign_in_sessions.h"

namespace {

using Outcome = AccessGate::Decision::Outcome;

// alice's password is "wonderland", hashed with few iterations to keep the
// test quick (the count is read from the hash).
constexpr char kUsers[] =
    "alice:pbkdf2-sha256$1000$MDEyMzQ1Njc4OWFiY2RlZg==$"
    "b0FaKDULMkLlg4NThBeBNEp1S6xlfQTtaZwup0NyE5Q=\n";
constexpr char kAlice[] = "Basic YWxpY2U6d29uZGVybGFuZA==";  // alice:wonderland
constexpr char kWrong[] = "Basic YWxpY2U6d3Jvbmc=";          // alice:wrong

void Protect(AccessGate& gate) {
  std::vector<std::string> problems;
  gate.Replace(UserAccounts::Parse(kUsers, &problems),
               FolderRightsTable::Parse("/p\tsee=accounts\n", &problems));
  EXPECT_TRUE(problems.empty());
}

}  // namespace

TEST(AccessGate, NoRulesLetEverythingThroughUnlooked) {
  AccessGate gate;
  EXPECT_FALSE(gate.Active());
  const AccessGate::Decision decision = gate.Decide({"/p/x", kWrong, "", "10.0.0.9", false}, 0);
  EXPECT_EQ(decision.outcome, Outcome::Allowed);
  EXPECT_FALSE(decision.failedSignIn);
}

TEST(AccessGate, FiveWrongPasswordsLockAnAddressOutButNeverLoopback) {
  AccessGate gate;
  Protect(gate);
  int64_t now = 1000;
  for (int attempt = 1; attempt <= 5; ++attempt) {
    const AccessGate::Decision wrong =
        gate.Decide({"/p/x", kWrong, "", "10.0.0.9", false}, now += 1000);
    EXPECT_EQ(wrong.outcome, Outcome::SignInNeeded);
    EXPECT_TRUE(wrong.failedSignIn);
    EXPECT_EQ(wrong.lockedOutNow, attempt == 5);
  }
  // Even the right password waits out the lock; another address does not.
  EXPECT_EQ(gate.Decide({"/p/x", kAlice, "", "10.0.0.9", false}, now).outcome, Outcome::LockedOut);
  EXPECT_EQ(gate.Decide({"/p/x", kAlice, "", "10.0.0.8", false}, now).outcome, Outcome::Allowed);
  EXPECT_EQ(gate.LockedOutAddresses(now), std::vector<std::string>{"10.0.0.9"});
  now += SignInLockouts::kLockOutMs;
  EXPECT_EQ(gate.Decide({"/p/x", kAlice, "", "10.0.0.9", false}, now).account, "alice");

  // Failures spread wider than the window never add up to a lock.
  for (int attempt = 0; attempt < 8; ++attempt) {
    now += SignInLockouts::kFailureWindowMs / 4;
    EXPECT_FALSE(gate.Decide({"/p/x", kWrong, "", "10.0.0.7", false}, now).lockedOutNow);
  }
  for (int attempt = 0; attempt < 8; ++attempt) {
    EXPECT_FALSE(gate.Decide({"/p/x", kWrong, "", "127.0.0.1", true}, now).lockedOutNow);
  }
  EXPECT_EQ(gate.Decide({"/p/x", kAlice, "", "127.0.0.1", true}, now).outcome, Outcome::Allowed);
}

TEST(AccessGate, ARememberedPasswordStopsWorkingWhenTheAccountsChange) {
  AccessGate gate;
  Protect(gate);
  EXPECT_EQ(gate.Decide({"/p/x", kAlice, "", "10.0.0.9", false}, 0).outcome, Outcome::Allowed);
  EXPECT_EQ(gate.Decide({"/p/x", kAlice, "", "10.0.0.9", false}, 10).outcome, Outcome::Allowed);
  std::vector<std::string> problems;
  gate.Replace(UserAccounts(), FolderRightsTable::Parse("/p\tsee=accounts\n", &problems));
  EXPECT_EQ(gate.Decide({"/p/x", kAlice, "", "10.0.0.9", false}, 20).outcome,
            Outcome::SignInNeeded);
  EXPECT_EQ(gate.Decide({"/q/x", "", "", "10.0.0.9", false}, 20).outcome, Outcome::Allowed);
  EXPECT_FALSE(gate.MaySee("/p", ""));
  EXPECT_TRUE(gate.MaySee("/q", ""));
}

TEST(AccessGate, ARequestIsJudgedByTheRightItAsksFor) {
  AccessGate gate;
  std::vector<std::string> problems;
  gate.Replace(
      UserAccounts::Parse(kUsers, &problems),
      FolderRightsTable::Parse("/in\tupload=alice\tdelete=\tupload-to=/srv/in\n", &problems));
  EXPECT_TRUE(problems.empty());
  const auto ask = [&](const char* credentials, FolderRight right) {
    return gate.Decide({"/in/a.txt", credentials, "", "10.0.0.9", false, right}, 0).outcome;
  };
  EXPECT_EQ(ask("", FolderRight::See), Outcome::Allowed);
  EXPECT_EQ(ask("", FolderRight::Upload), Outcome::SignInNeeded);
  EXPECT_EQ(ask(kAlice, FolderRight::Upload), Outcome::Allowed);
  EXPECT_EQ(ask(kAlice, FolderRight::Delete), Outcome::Forbidden);
  EXPECT_TRUE(gate.Holds("/in/", FolderRight::Upload, "alice"));
  EXPECT_FALSE(gate.Holds("/in/", FolderRight::Delete, "alice"));
  EXPECT_EQ(gate.UploadFolder("/in"), "/srv/in");
  EXPECT_FALSE(gate.UploadFolder("/in/sub"));
  EXPECT_EQ(gate.UploadFolders(), std::vector<std::string>{"/srv/in"});
}

TEST(AccessGate, ASessionEndsAfterTwelveHoursWithoutUse) {
  AccessGate gate;
  Protect(gate);
  int64_t now = 1000;
  const AccessGate::SignInResult signedIn =
      gate.SignIn("alice", "wonderland", "10.0.0.9", false, now);
  ASSERT_EQ(signedIn.outcome, AccessGate::SignInResult::Outcome::SignedIn);
  const std::string cookie = std::string(kSessionCookieName) + "=" + signedIn.token;
  const auto ask = [&](int64_t at) {
    return gate.Decide({"/p/x", "", cookie, "10.0.0.9", false}, at);
  };
  // Each use keeps it: two uses just under twelve hours apart.
  now += SignInSessions::kIdleMs - 1;
  EXPECT_EQ(ask(now).account, "alice");
  now += SignInSessions::kIdleMs - 1;
  const AccessGate::Decision kept = ask(now);
  EXPECT_EQ(kept.account, "alice");
  EXPECT_TRUE(kept.fromSession);
  now += SignInSessions::kIdleMs + 1;
  EXPECT_EQ(ask(now).outcome, Outcome::SignInNeeded);
}
