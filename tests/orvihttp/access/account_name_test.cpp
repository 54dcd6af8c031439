#include "orvihttp/access/account_name.h"

#include <gtest/gtest.h>

TEST(AccountName, NamesThatCouldBreakAFileOrARightAreRefusedWithAReason) {
  EXPECT_TRUE(IsValidAccountName("alice"));
  EXPECT_TRUE(IsValidAccountName("J\xC3\xBCrgen"));  // UTF-8
  EXPECT_TRUE(IsValidAccountName(std::string(64, 'a')));
  const char* const refused[] = {"",     "a b",      "a:b",      "a,b",      "a\tb",   "a\nb",
                                 "\xC3", "\xC0\xAF", "Everyone", "ACCOUNTS", "Inherit"};
  for (const char* name : refused) {
    std::string why;
    EXPECT_FALSE(IsValidAccountName(name, &why)) << name;
    EXPECT_FALSE(why.empty()) << name;
  }
  EXPECT_FALSE(IsValidAccountName(std::string(65, 'a')));
}
