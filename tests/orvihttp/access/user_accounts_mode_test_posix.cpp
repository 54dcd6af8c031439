// On Linux the accounts file is readable by its owner alone, even when it
// replaces a file anyone could read.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "orvihttp/access/user_accounts.h"
#include "tests/support/test_support.h"

namespace {

TEST(UserAccountsFile, IsOwnerOnly) {
  TempFolder folder;
  const std::string path = folder.File(kUsersFileName);
  ASSERT_TRUE(WriteFileBytes(path, "# Orvi HTTP Server accounts\n"));
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  std::vector<std::string> problems;
  UserAccounts accounts;
  ASSERT_TRUE(accounts.Load(path, &problems));
  const mode_t previous = umask(0);
  std::string error;
  const bool saved = accounts.Save(path, &error);
  umask(previous);
  ASSERT_TRUE(saved) << error;
  struct stat status {};
  ASSERT_EQ(stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
}

}  // namespace
