#include "orvihttp/ui/https_dialog_model.h"

#include <gtest/gtest.h>

#include <ctime>

#include "orvihttp/tls/certificate_chain.h"
#include "orvihttp/tls/made_certificate.h"
#include "tests/support/test_support.h"

namespace {

TEST(HttpsDialogModel, AnUntouchedDialogAddsNothingAndAChangeIsKept) {
  WorkingSettings working;
  HttpsChoices choices = HttpsChoicesOf(working);
  EXPECT_EQ(choices, HttpsChoices{});  // off, port 8443, made certificate
  EXPECT_FALSE(StoreHttpsChoices(choices, working));
  EXPECT_TRUE(working.Entries().empty());

  choices.https = true;
  choices.port = 9443;
  EXPECT_TRUE(StoreHttpsChoices(choices, working));
  EXPECT_EQ(working.Entries().size(), 2u);
  EXPECT_EQ(HttpsChoicesOf(working), choices);
}

TEST(HttpsDialogModel, SummaryReadsTheCertificateOrSaysWhyNot) {
  TempFolder folder;
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  HttpsChoices choices;
  EXPECT_EQ(CertificateSummary(choices, folder.path(), now).rfind("No certificate yet", 0), 0u);

  std::string error;
  ASSERT_TRUE(MakeCertificate(folder.path(), CurrentCertificateNames(), now, &error)) << error;
  CertificateChainResult made = LoadCertificateChain(folder.File(kMadeCertificateFile));
  ASSERT_TRUE(made.chain) << made.error;
  const std::string fingerprint = made.chain->Fingerprint();
  ASSERT_EQ(fingerprint.size(), 95u);
  EXPECT_EQ(CertificateSummary(choices, folder.path(), now),
            "SHA-256: " + fingerprint.substr(0, 47) + "\r\n" + fingerprint.substr(48) +
                "\r\nValid until " + made.chain->ExpiryText());

  // The user's own pair: used as named, refused with the loader's reason.
  choices.certificateFile = folder.File(kMadeCertificateFile);
  choices.keyFile = folder.File(kMadeKeyFile);
  EXPECT_EQ(CertificateSummary(choices, "", now).rfind("SHA-256: ", 0), 0u);
  choices.keyFile = folder.File("missing.key");
  EXPECT_NE(CertificateSummary(choices, "", now).find("missing.key"), std::string::npos);
  choices.keyFile.clear();
  EXPECT_EQ(CertificateSummary(choices, "", now),
            "Name both a certificate file and a key file, or neither.");
}

}  // namespace
