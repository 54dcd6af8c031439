// HTTPS served by the real server to the tests' own TLS client, on both
// builds: the made certificate and the user's own, ranges, a script's
// HTTPS=on, a kick, and the bad files that keep the HTTPS port closed while
// plain HTTP serves on.
#include <chrono>
#include <string>
#include <thread>

#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "orvihttp/http/access_rules.h"
#include "orvihttp/tls/made_certificate.h"
#include "orvihttp/tls/utc_time.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/orvihttp/http/server_fixture.h"
#include "tests/orvihttp/tls/tls_test_client.h"
#include "tests/support/child_program.h"

namespace {

class HttpsServer : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    httpsPort_ = FindFreePort();
    SetString("InstallPath", files_.path(), false);
    SetBool("HTTPS", true, true);
    SetInt("HTTPSPort", httpsPort_, true);
  }

  // One request on its own TLS connection, trusting only `caFile`.
  TlsClientOutcome Fetch(const std::string& path, const std::string& caFile,
                         const std::string& extra = "") {
    return RunTlsClient(
        httpsPort_, caFile, TlsTestVersion::Tls13,
        "GET " + path + " HTTP/1.1\r\nHost: localhost\r\n" + extra + "Connection: close\r\n\r\n");
  }
  std::string Made() const { return JoinPath(files_.path(), kMadeCertificateFile); }
  bool DisplayHas(const std::string& text) { return !LogPageLineWith(text).empty(); }

  int httpsPort_ = 0;
};

TEST_F(HttpsServer, TheMadeCertificateServesFilesRangesAndScripts) {
  const std::string big = LetterPattern(300000);
  Publish("/docs/a.txt", "over TLS");
  Publish("/big.bin", big);
  SetBool("PHPEnable", true, true);
  SetString("PHPPath", TestProgramPath("fixture_fake_cgi"), true);
  Publish("/env.php", "env\n");
  StartServer();
  ASSERT_EQ(server().listener().HttpsPort(), httpsPort_);

  const TlsClientOutcome page = Fetch("/docs/a.txt", Made());
  ASSERT_EQ(page.handshake, 0);
  EXPECT_EQ(page.verifyFlags, 0u) << "the made certificate names localhost";
  EXPECT_EQ(page.alpn, "http/1.1");
  EXPECT_EQ(BodyOf(page.received), "over TLS");

  const TlsClientOutcome part = Fetch("/big.bin", Made(), "Range: bytes=100000-\r\n");
  EXPECT_EQ(part.received.rfind("HTTP/1.1 206\r\n", 0), 0u) << part.received.substr(0, 200);
  EXPECT_TRUE(BodyOf(part.received) == big.substr(100000));

  for (const char* mode : {"CGI", "FastCGI"}) {
    SetString("PHPMode", mode, true);
    const std::string script = BodyOf(Fetch("/env.php", Made()).received);
    EXPECT_NE(script.find("HTTPS=on\nSERVER_PORT=" + std::to_string(httpsPort_) + "\n"),
              std::string::npos)
        << mode << script;
  }
}

TEST_F(HttpsServer, TheUsersOwnPairIsUsedAndAKickEndsADownload) {
  TempFolder own;
  std::string error;
  ASSERT_TRUE(
      MakeCertificate(own.path(), CertificateNames{{"localhost"}, {}}, UtcNow() - 60, &error))
      << error;
  const std::string crt = own.File(kMadeCertificateFile);
  SetString("CertificateFile", crt, true);
  SetString("KeyFile", own.File(kMadeKeyFile), true);
  SetInt("MaxDown", 100, true);  // KB/s: the download below takes seconds
  Publish("/a.txt", "own certificate");
  Publish("/slow.bin", std::string(2 * 1024 * 1024, 'x'));
  StartServer();
  ASSERT_EQ(server().listener().HttpsPort(), httpsPort_);

  const TlsClientOutcome page = Fetch("/a.txt", crt);
  ASSERT_EQ(page.handshake, 0);
  EXPECT_EQ(page.verifyFlags, 0u);
  EXPECT_EQ(BodyOf(page.received), "own certificate");
  EXPECT_FALSE(IsFile(Made())) << "nothing is made while the user's pair serves";

  TlsClientOutcome download;
  std::thread downloading([&] { download = Fetch("/slow.bin", crt); });
  const bool seen = WaitFor(
      [this] {
        for (const ClientInfo& client : server().clients().Clients()) {
          if (client.currentActivity == "slow.bin") return true;
        }
        return false;
      },
      5000);
  const auto kicked = std::chrono::steady_clock::now();
  for (const ClientInfo& client : server().clients().Clients()) {
    server().clients().Kick(client.connectionId);
  }
  downloading.join();
  EXPECT_TRUE(seen);
  EXPECT_LT(std::chrono::steady_clock::now() - kicked, std::chrono::seconds(5));
  EXPECT_LT(download.received.size(), 1024u * 1024u);
}

TEST_F(HttpsServer, ASignInOverTlsGetsACookieKeptToTls) {
  Publish("/p/x.txt", "x");
  StartServer();
  // alice's password is "wonderland" (few hash iterations, so the test stays
  // quick).
  TempFolder rules;
  ASSERT_TRUE(WriteFileBytes(rules.File("OrviHTTP.users"),
                             "alice:pbkdf2-sha256$1000$MDEyMzQ1Njc4OWFiY2RlZg==$"
                             "b0FaKDULMkLlg4NThBeBNEp1S6xlfQTtaZwup0NyE5Q=\n"));
  ASSERT_TRUE(WriteFileBytes(rules.File("OrviHTTP.rights"), "/p\tsee=alice\n"));
  LoadAccessRules(server(), rules.path());
  const std::string form = "name=alice&password=wonderland&to=%2Fp%2F";
  const TlsClientOutcome answer =
      RunTlsClient(httpsPort_, Made(), TlsTestVersion::Tls13,
                   "POST /?signin HTTP/1.1\r\nHost: localhost\r\n"
                   "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                       std::to_string(form.size()) + "\r\nConnection: close\r\n\r\n" + form);
  EXPECT_EQ(answer.received.rfind("HTTP/1.1 303\r\n", 0), 0u) << answer.received;
  EXPECT_NE(answer.received.find("; Path=/; HttpOnly; SameSite=Lax; Secure\r\n"), std::string::npos)
      << answer.received;
}

TEST_F(HttpsServer, BadFilesKeepTheHttpsPortClosedAndPlainHttpServing) {
  Publish("/a.txt", "plain");
  TempFolder first;
  TempFolder second;
  std::string error;
  const int64_t now = UtcNow();
  ASSERT_TRUE(MakeCertificate(first.path(), CertificateNames{{"localhost"}, {}}, now, &error));
  ASSERT_TRUE(MakeCertificate(second.path(), CertificateNames{{"localhost"}, {}}, now, &error));
  TempFolder old;
  ASSERT_TRUE(MakeCertificate(old.path(), CertificateNames{{"localhost"}, {}},
                              now - 900 * 24 * 60 * 60, &error));
  const std::string notPem = JoinPath(files_.path(), "not.pem");
  ASSERT_TRUE(WriteFileBytes(notPem, "hello"));
  const struct {
    std::string certificate;
    std::string key;
    std::string says;
  } cases[] = {
      {JoinPath(files_.path(), "missing.crt"), notPem, "does not exist"},
      {notPem, notPem, "holds no certificate in PEM form"},
      {first.File(kMadeCertificateFile), second.File(kMadeKeyFile), "does not belong to"},
      {old.File(kMadeCertificateFile), old.File(kMadeKeyFile), "expired on"},
      {notPem, "", "neither"},
  };
  for (const auto& bad : cases) {
    SetString("CertificateFile", bad.certificate, true);
    SetString("KeyFile", bad.key, true);
    server().logs().display.Clear();
    StartServer();
    EXPECT_EQ(server().listener().HttpsPort(), 0) << bad.says;
    EXPECT_TRUE(DisplayHas("Cannot serve HTTPS")) << bad.says;
    EXPECT_TRUE(DisplayHas(bad.says)) << bad.says;
    EXPECT_EQ(BodyOf(Get(port_, "/a.txt")), "plain");
    server().listener().Stop();
  }
}

}  // namespace
