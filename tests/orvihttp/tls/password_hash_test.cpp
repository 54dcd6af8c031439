#include "orvihttp/tls/password_hash.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// PBKDF2-HMAC-SHA-256 of "correct horse" with the salt 00 01 ... 0F and 600000
// iterations, worked out by another implementation.
constexpr char kKnownHash[] =
    "pbkdf2-sha256$600000$AAECAwQFBgcICQoLDA0ODw==$lqWQTC4IyNpCMF28xdfPGOrSY21J9ZUmtgbyZpYoFHM=";

TEST(PasswordHash, AHashMadeElsewhereChecksWithItsPasswordOnly) {
  EXPECT_TRUE(IsWellFormedPasswordHash(kKnownHash));
  EXPECT_TRUE(CheckPasswordHash("correct horse", kKnownHash));
  EXPECT_FALSE(CheckPasswordHash("correct hors", kKnownHash));
}

TEST(PasswordHash, NewHashesAreSaltedAndCheck) {
  const std::string first = MakePasswordHash("s3cret pass");
  const std::string second = MakePasswordHash("s3cret pass");
  EXPECT_EQ(first.rfind("pbkdf2-sha256$600000$", 0), 0u) << first;
  EXPECT_TRUE(IsWellFormedPasswordHash(first));
  EXPECT_NE(first, second);
  EXPECT_EQ(first.find("s3cret"), std::string::npos);
  EXPECT_TRUE(CheckPasswordHash("s3cret pass", first));
  EXPECT_FALSE(CheckPasswordHash("S3cret pass", second));
  EXPECT_EQ(MakePasswordHash("x", 999), "");
}

TEST(PasswordHash, ADamagedHashNeverLetsIn) {
  const std::string salt = "AAECAwQFBgcICQoLDA0ODw==";
  const std::string hash = "lqWQTC4IyNpCMF28xdfPGOrSY21J9ZUmtgbyZpYoFHM=";
  const std::string damaged[] = {
      "",
      "pbkdf2-sha1$600000$" + salt + "$" + hash,
      "pbkdf2-sha256$600000$" + salt + "$" + hash + "$",
      "pbkdf2-sha256$600000$" + salt,
      "pbkdf2-sha256$999$" + salt + "$" + hash,
      "pbkdf2-sha256$10000001$" + salt + "$" + hash,
      "pbkdf2-sha256$0600000$" + salt + "$" + hash,
      "pbkdf2-sha256$-600000$" + salt + "$" + hash,
      "pbkdf2-sha256$600000$AAECAwQFBgcICQoLDA0O$" + hash,  // 15-byte salt
      "pbkdf2-sha256$600000$" + salt + "$lqWQTC4IyNpCMF28xdfPGOrSY21J9ZUmtgbyZpYoFA==",  // 31
      "pbkdf2-sha256$600000$" + salt + "$lqWQTC4IyNpCMF28xdfPGOrSY21J9ZUmtgbyZpYo FHM=",
      "pbkdf2-sha256$600000$" + salt + "$lqWQTC4IyNpCMF28xdfPGOrSY21J9ZUmtgbyZpYoFHM",
      "pbkdf2-sha256$600000$" + salt + "$lqWQTC4IyNpCMF28xdfPGOrSY21J9ZUmtgbyZpYoFHN=",
  };
  for (const std::string& text : damaged) {
    std::string why;
    EXPECT_FALSE(IsWellFormedPasswordHash(text, &why)) << text;
    EXPECT_FALSE(why.empty()) << text;
    EXPECT_FALSE(CheckPasswordHash("correct horse", text)) << text;
  }
}

TEST(PasswordHash, KeyedDigestsAndRandomBytes) {
  const std::string digest = KeyedDigest("alice:secret");
  EXPECT_EQ(digest.size(), 32u);
  EXPECT_TRUE(ConstantTimeEqual(digest, KeyedDigest("alice:secret")));
  EXPECT_FALSE(ConstantTimeEqual(digest, KeyedDigest("alice:secreT")));
  EXPECT_FALSE(ConstantTimeEqual(digest, digest.substr(1)));

  // More than the generator gives in one request.
  std::string first(3000, '\0');
  std::string second(3000, '\0');
  ASSERT_TRUE(RandomBytes(first.data(), first.size()));
  ASSERT_TRUE(RandomBytes(second.data(), second.size()));
  EXPECT_NE(first, second);
  EXPECT_NE(first.substr(2000), std::string(1000, '\0'));
}

}  // namespace
