// On Linux the made key is readable by its owner alone, from the moment the
// file exists.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "orvihttp/tls/made_certificate.h"
#include "orvihttp/tls/utc_time.h"
#include "tests/support/test_support.h"

namespace {

mode_t PermissionsOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
  return status.st_mode & 0777;
}

TEST(MadeCertificateFiles, KeyIsOwnerOnlyEvenUnderAnOpenUmaskAndRenewed) {
  TempFolder folder;
  const mode_t previous = umask(0);
  std::string error;
  const bool made =
      MakeCertificate(folder.path(), CertificateNames{{"localhost"}, {}}, UtcNow(), &error);
  umask(previous);
  ASSERT_TRUE(made) << error;
  EXPECT_EQ(PermissionsOf(folder.File(kMadeKeyFile)), 0600u);
  EXPECT_EQ(PermissionsOf(folder.File(kMadeCertificateFile)) & 0600, 0600u);

  ASSERT_EQ(
      EnsureMadeCertificate(folder.path(), CertificateNames{{"localhost"}, {"127.0.0.1"}}, UtcNow())
          .action,
      MadeCertificateAction::Renewed);
  EXPECT_EQ(PermissionsOf(folder.File(kMadeKeyFile)), 0600u);
  EXPECT_EQ(PermissionsOf(folder.File(std::string(kMadeKeyFile) + kReplacedSuffix)), 0600u);
}

}  // namespace
