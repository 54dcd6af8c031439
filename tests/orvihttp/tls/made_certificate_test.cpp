// The certificate made for the user, read back by the module and checked by
// the openssl tool; and how an existing pair is kept or replaced.
#include "orvihttp/tls/made_certificate.h"

#include <gtest/gtest.h>

#include "foundation/file_system.h"
#include "orvihttp/tls/server_credentials.h"
#include "orvihttp/tls/utc_time.h"
#include "tests/orvihttp/tls/openssl_tool.h"
#include "tests/support/test_support.h"

namespace {

constexpr int64_t kDay = 86400;

const CertificateNames kNames{{"localhost", "orvi-test-host"}, {"10.1.2.3", "127.0.0.1"}};

TEST(MadeCertificate, HoldsAnEcdsaP256KeyTheNamesAnd825DaysAsOpensslReadsThem) {
  TempFolder folder;
  const int64_t now = UtcNow();
  std::string error;
  ASSERT_TRUE(MakeCertificate(folder.path(), kNames, now, &error)) << error;
  const std::string certificate = folder.File(kMadeCertificateFile);
  const std::string key = folder.File(kMadeKeyFile);
  EXPECT_FALSE(IsFile(certificate + ".new")) << "no temporary file is left";

  ServerCredentialsResult loaded = LoadServerCredentials(certificate, key, now);
  ASSERT_TRUE(loaded.credentials) << loaded.error;
  const CertificateChain& chain = loaded.credentials->chain();
  EXPECT_EQ(chain.Size(), 1);
  EXPECT_EQ(chain.SubjectAltNames(), kNames.SubjectAltNames());
  EXPECT_EQ(chain.NotBefore(), now);
  EXPECT_EQ(chain.NotAfter() - chain.NotBefore(), 825 * kDay);
  EXPECT_EQ(chain.ExpiryText(), UtcTimeText(now + 825 * kDay));
  EXPECT_EQ(chain.Fingerprint().size(), 32u * 3 - 1);

  if (!OpensslReachable()) {
    GTEST_SKIP() << "openssl is not reachable here";
  }
  int code = -1;
  const std::string text = RunOpenssl("x509 -noout -text -in \"" + certificate + "\"", &code);
  ASSERT_EQ(code, 0) << text;
  for (const char* expected :
       {"id-ecPublicKey", "ASN1 OID: prime256v1", "ecdsa-with-SHA256", "DNS:localhost",
        "DNS:orvi-test-host", "IP Address:10.1.2.3", "IP Address:127.0.0.1", "CA:FALSE",
        "TLS Web Server Authentication", "Subject: CN = orvi-test-host, O = Orvi HTTP Server"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  }
  // Valid for 824 more days but not for 826.
  RunOpenssl("x509 -noout -checkend " + std::to_string(824 * kDay) + " -in \"" + certificate + "\"",
             &code);
  EXPECT_EQ(code, 0);
  RunOpenssl("x509 -noout -checkend " + std::to_string(826 * kDay) + " -in \"" + certificate + "\"",
             &code);
  EXPECT_EQ(code, 1);
  // A client that trusts the file itself accepts it for a server.
  const std::string verified = RunOpenssl(
      "verify -purpose sslserver -CAfile \"" + certificate + "\" \"" + certificate + "\"", &code);
  EXPECT_EQ(code, 0) << verified;
  EXPECT_NE(verified.find(": OK"), std::string::npos) << verified;
  // The fingerprint is the one openssl computes.
  const std::string fingerprint =
      RunOpenssl("x509 -noout -fingerprint -sha256 -in \"" + certificate + "\"", &code);
  EXPECT_NE(fingerprint.find("=" + chain.Fingerprint() + "\n"), std::string::npos) << fingerprint;
  // The key file is a PEM EC key whose public half is the certificate's.
  const std::string fromKey = RunOpenssl("pkey -pubout -in \"" + key + "\"", &code);
  EXPECT_EQ(code, 0) << fromKey;
  EXPECT_EQ(fromKey, RunOpenssl("x509 -noout -pubkey -in \"" + certificate + "\""));
}

TEST(MadeCertificate, IsKeptWhileValidAndRenewedAsOldWhenExpiredRenamedOrDamaged) {
  TempFolder folder;
  const std::string certificate = folder.File(kMadeCertificateFile);
  const std::string key = folder.File(kMadeKeyFile);
  const int64_t now = UtcNow();

  MadeCertificateResult made = EnsureMadeCertificate(folder.path(), kNames, now);
  ASSERT_EQ(made.action, MadeCertificateAction::Made) << made.message;
  EXPECT_EQ(made.certificateFile, certificate);
  EXPECT_EQ(made.keyFile, key);
  const std::string firstCertificate = ReadFileBytes(certificate);
  const std::string firstKey = ReadFileBytes(key);

  MadeCertificateResult again = EnsureMadeCertificate(folder.path(), kNames, now + kDay);
  EXPECT_EQ(again.action, MadeCertificateAction::Kept) << again.message;
  EXPECT_EQ(ReadFileBytes(certificate), firstCertificate);
  EXPECT_FALSE(IsFile(certificate + kReplacedSuffix));

  // The machine got another address: a new pair, the old one kept beside it.
  CertificateNames moved = kNames;
  moved.ipAddresses.push_back("192.168.7.9");
  MadeCertificateResult renamed = EnsureMadeCertificate(folder.path(), moved, now + kDay);
  EXPECT_EQ(renamed.action, MadeCertificateAction::Renewed);
  EXPECT_NE(renamed.message.find("names of this machine changed"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(certificate + kReplacedSuffix), firstCertificate);
  EXPECT_EQ(ReadFileBytes(key + kReplacedSuffix), firstKey);
  ServerCredentialsResult renewed = LoadServerCredentials(certificate, key, now + kDay);
  ASSERT_TRUE(renewed.credentials) << renewed.error;
  EXPECT_EQ(renewed.credentials->chain().SubjectAltNames(), moved.SubjectAltNames());

  // 830 days on, the renewed certificate has expired.
  const std::string secondCertificate = ReadFileBytes(certificate);
  MadeCertificateResult expired = EnsureMadeCertificate(folder.path(), moved, now + 830 * kDay);
  EXPECT_EQ(expired.action, MadeCertificateAction::Renewed);
  EXPECT_NE(expired.message.find("expired on"), std::string::npos) << expired.message;
  EXPECT_EQ(ReadFileBytes(certificate + kReplacedSuffix), secondCertificate);
  EXPECT_TRUE(LoadServerCredentials(certificate, key, now + 830 * kDay).credentials);

  // A lost key file cannot be used with its certificate: both are replaced.
  ASSERT_TRUE(RemoveFile(key));
  EXPECT_EQ(EnsureMadeCertificate(folder.path(), moved, now).action,
            MadeCertificateAction::Renewed);
  EXPECT_TRUE(LoadServerCredentials(certificate, key, now).credentials);
}

TEST(MadeCertificate, FailsWithAMessageWhenTheFolderCannotTakeIt) {
  TempFolder folder;
  const std::string missing = folder.File("no-such-folder");
  MadeCertificateResult result = EnsureMadeCertificate(missing, kNames, UtcNow());
  EXPECT_EQ(result.action, MadeCertificateAction::Failed);
  EXPECT_NE(result.message.find("could not be written"), std::string::npos) << result.message;
}

TEST(MadeCertificate, CurrentNamesAreLocalhostTheHostAndLoopbackAtLeast) {
  const CertificateNames names = CurrentCertificateNames();
  ASSERT_FALSE(names.dnsNames.empty());
  EXPECT_EQ(names.dnsNames[0], "localhost");
  EXPECT_NE(std::find(names.ipAddresses.begin(), names.ipAddresses.end(), "127.0.0.1"),
            names.ipAddresses.end());
}

}  // namespace
