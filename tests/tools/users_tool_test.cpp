// orvihttp-users run as a real program, with passwords on its standard input
// the way a script gives them.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/child_process.h"
#include "foundation/command_line.h"
#include "foundation/file_system.h"
#include "orvihttp/access/user_accounts.h"
#include "orvihttp/config/product_version.h"
#include "tests/support/child_program.h"
#include "tests/support/test_support.h"

namespace {

class UsersTool : public ::testing::Test {
 protected:
  std::string CommandLine(const std::vector<std::string>& arguments) {
    std::string line = QuotedTestProgram("orvihttp-users");
    for (const std::string& argument : arguments) line += " " + QuoteCommandLineArgument(argument);
    return line;
  }

  // Runs the tool on this test's file without input; output and errors
  // together.
  std::string Tool(const std::vector<std::string>& arguments, int* code) {
    std::vector<std::string> all = {users_};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return RunProgram(CommandLine(all), code, true);
  }

  // Runs a command that reads `input` as its standard input; the exit code.
  int WithInput(const std::string& command, const std::string& name, const std::string& input) {
    std::unique_ptr<ChildProcessStream> child =
        OpenChildProcess(CommandLine({users_, command, name}), "w");
    EXPECT_TRUE(child);
    if (!child) return -1;
    child->Write(input.data(), input.size());  // a refusal may end it before it reads
    const int code = child->WaitForExit();
    CloseChildProcess(std::move(child));
    return code;
  }

  std::string List() {
    int code = -1;
    std::string output = Tool({"list"}, &code);
    EXPECT_EQ(code, 0) << output;
    return output;
  }

  UserAccounts Saved() {
    UserAccounts accounts;
    std::vector<std::string> problems;
    EXPECT_TRUE(accounts.Load(users_, &problems));
    EXPECT_TRUE(problems.empty());
    return accounts;
  }

  TempFolder install_;
  const std::string users_ = install_.File("OrviHTTP.users");
};

TEST_F(UsersTool, AddsChangesAndRemovesAccountsWithPasswordsFromStandardInput) {
  EXPECT_EQ(List(), "");
  EXPECT_EQ(WithInput("add", "alice", "first secret\n"), 0);
  EXPECT_EQ(WithInput("add", "bob", "\n"), 1);  // empty password
  EXPECT_EQ(WithInput("add", "carol", ""), 1);  // no password at all
  EXPECT_EQ(WithInput("add", "alice", "other\n"), 1);
  EXPECT_EQ(WithInput("passwd", "dave", "x\n"), 1);
  EXPECT_EQ(List(), "alice\n");
  EXPECT_EQ(ReadFileBytes(users_).find("secret"), std::string::npos);
  EXPECT_TRUE(Saved().Check("alice", "first secret"));

  EXPECT_EQ(WithInput("passwd", "alice", "second secret\r\n"), 0);
  EXPECT_TRUE(Saved().Check("alice", "second secret"));

  int code = -1;
  EXPECT_EQ(Tool({"remove", "alice"}, &code), "");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(Tool({"remove", "alice"}, &code), "orvihttp-users: there is no account \"alice\"\n");
  EXPECT_EQ(code, 1);
  EXPECT_EQ(List(), "");
}

TEST_F(UsersTool, ADamagedFileIsReportedAndItsBadLinesAreNoAccounts) {
  ASSERT_TRUE(WriteFileBytes(users_,
                             "# Orvi HTTP Server accounts\n"
                             "mallory:pbkdf2-sha256$1$AAECAwQFBgcICQoLDA0ODw==$"
                             "lqWQTC4IyNpCMF28xdfPGOrSY21J9ZUmtgbyZpYoFHM=\n"
                             "garbage\n"));
  int code = -1;
  const std::string output = Tool({"list"}, &code);
  EXPECT_EQ(code, 0);
  EXPECT_NE(output.find("warning: " + users_ + ": Line 2 is skipped"), std::string::npos) << output;
  EXPECT_NE(output.find("Line 3 is skipped"), std::string::npos) << output;
  EXPECT_EQ(output.find("mallory\n"), std::string::npos) << output;

  // No change is written over lines that could not be read.
  const std::string before = ReadFileBytes(users_);
  Tool({"remove", "mallory"}, &code);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(WithInput("add", "bob", "builder\n"), 1);
  EXPECT_EQ(ReadFileBytes(users_), before);
}

TEST_F(UsersTool, WrongArgumentsShowTheUsage) {
  for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
           {}, {"frobnicate"}, {"list", "extra"}, {"add"}, {"remove", "a", "b"}, {"--bogus"}}) {
    int code = -1;
    const std::string output = Tool(wrong, &code);
    EXPECT_EQ(code, 2) << output;
    EXPECT_NE(output.find("usage: orvihttp-users"), std::string::npos) << output;
  }
  int code = -1;
  EXPECT_EQ(RunProgram(CommandLine({"--version"}), &code),
            "orvihttp-users (Orvi HTTP Server) " ORVI_VERSION_TEXT "\n");
  EXPECT_EQ(code, 0);
  // Refused before a password is asked for: the test gives it no input.
  for (const char* name : {"bad name", "#hash"}) {
    EXPECT_EQ(Tool({"add", name}, &code).rfind("orvihttp-users: ", 0), 0u) << name;
    EXPECT_EQ(code, 1) << name;
  }
  EXPECT_FALSE(IsFile(users_));
}

}  // namespace
