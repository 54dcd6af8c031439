// HTTPS beside HTTP, seen from curl and openssl: the certificate made for
// the user, the user's own, and what a TLS connection shares with a plain
// one (ranges, kicks, the redirect). Bad files are the portable HTTPS
// server tests' part.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <thread>

#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/orvihttp/http/server_fixture.h"
#include "tests/support/child_program.h"

namespace {

std::string RunCommand(const std::string& command, int* exitCode = nullptr) {
  std::string output;
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return output;
  char chunk[4096];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, got);
  const int status = pclose(pipe);
  if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return output;
}

class Https : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    httpsPort_ = FindFreePort();
    SetString("InstallPath", files_.path(), false);
    SetBool("HTTPS", true, true);
    SetInt("HTTPSPort", httpsPort_, true);
  }

  std::string Url(const std::string& path) const {
    return "https://localhost:" + std::to_string(httpsPort_) + path;
  }
  std::string Curl(const std::string& arguments, int* exitCode = nullptr) {
    return RunCommand("curl -sS --max-time 20 --cacert '" +
                          JoinPath(files_.path(), "OrviHTTP.crt") + "' " + arguments,
                      exitCode);
  }
  bool DisplayHas(const std::string& text) { return !LogPageLineWith(text).empty(); }

  int httpsPort_ = 0;
};

TEST_F(Https, MadeCertificateServesRangesAndKeepsPlainHttp) {
  const std::string big = LetterPattern(3 * 1024 * 1024);
  Publish("/docs/a.txt", "over TLS");
  Publish("/big.bin", big);
  StartServer();
  ASSERT_EQ(server().listener().HttpsPort(), httpsPort_);
  EXPECT_TRUE(DisplayHas("Made a certificate for this computer"));

  // curl checks the name against the made certificate.
  EXPECT_EQ(Curl(Url("/docs/a.txt")), "over TLS");
  EXPECT_EQ(BodyOf(Get(port_, "/docs/a.txt")), "over TLS");  // plain HTTP as before

  // A download broken off after a third resumes to the same bytes.
  const std::string partial = JoinPath(files_.path(), "partial.bin");
  ASSERT_TRUE(WriteFileBytes(partial, big.substr(0, big.size() / 3)));
  int exitCode = -1;
  Curl("-C - -o '" + partial + "' " + Url("/big.bin"), &exitCode);
  EXPECT_EQ(exitCode, 0);
  EXPECT_TRUE(ReadFileBytes(partial) == big);

  // Keep-alive: two requests on one TLS connection.
  const std::string twice = Curl("-v " + Url("/docs/a.txt") + " " + Url("/docs/a.txt"));
  EXPECT_NE(twice.find("Re-using existing connection"), std::string::npos) << twice;

  // TLS 1.3 and 1.2 are spoken; older versions are refused. The client is
  // told to offer the old ones too, so the refusal is the server's.
  const std::string sClient =
      "echo | openssl s_client -connect 127.0.0.1:" + std::to_string(httpsPort_) + " ";
  for (const char* version : {"1_3", "1_2"}) {
    const std::string output = RunCommand(sClient + "-tls" + version, &exitCode);
    EXPECT_EQ(exitCode, 0) << output;
    std::string spoken = std::string("New, TLSv") + version;
    spoken[spoken.size() - 2] = '.';
    EXPECT_NE(output.find(spoken), std::string::npos) << output;
  }
  for (const char* version : {"1_1", "1"}) {
    const std::string output =
        RunCommand(sClient + "-tls" + version + " -cipher DEFAULT@SECLEVEL=0", &exitCode);
    EXPECT_NE(exitCode, 0) << output;
    EXPECT_NE(output.find("Cipher is (NONE)"), std::string::npos) << output;
  }

  // A script learns that it runs for HTTPS, and on which port; over plain
  // HTTP it learns nothing of it.
  SetBool("PHPEnable", true, true);
  SetString("PHPPath", TestProgramPath("fixture_fake_cgi"), true);
  Publish("/env.php", "env\n");
  // The same whether PHP is started per request or kept running.
  for (const char* mode : {"CGI", "FastCGI"}) {
    SetString("PHPMode", mode, true);
    const std::string overTls = Curl(Url("/env.php"));
    EXPECT_NE(overTls.find("HTTPS=on\nSERVER_PORT=" + std::to_string(httpsPort_) + "\n"),
              std::string::npos)
        << mode << overTls;
    EXPECT_NE(BodyOf(Get(port_, "/env.php")).find("HTTPS=\nSERVER_PORT=\n"), std::string::npos)
        << mode;
  }

  // Plain HTTP bytes on the HTTPS port: closed, no hang.
  HttpTestClient plain(httpsPort_);
  plain.Send("GET /docs/a.txt HTTP/1.1\r\nHost: t\r\n\r\n");
  bool closed = false;
  plain.ReadToEnd(3000, &closed);
  EXPECT_TRUE(closed);
}

TEST_F(Https, RedirectKickAndTheUsersOwnCertificate) {
  // The user's own pair, made by openssl for "localhost".
  const std::string crt = JoinPath(files_.path(), "own.crt");
  const std::string key = JoinPath(files_.path(), "own.key");
  int exitCode = -1;
  RunCommand(
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 30 -subj "
      "/CN=localhost -addext subjectAltName=DNS:localhost -keyout '" +
          key + "' -out '" + crt + "'",
      &exitCode);
  ASSERT_EQ(exitCode, 0);
  SetString("CertificateFile", crt, true);
  SetString("KeyFile", key, true);
  SetBool("RedirectToHTTPS", true, true);
  SetInt("MaxDown", 200, true);  // KB/s: the download below takes seconds
  Publish("/a.txt", "own certificate");
  Publish("/slow.bin", std::string(2 * 1024 * 1024, 'x'));
  StartServer();
  ASSERT_EQ(server().listener().HttpsPort(), httpsPort_);

  const std::string page =
      RunCommand("curl -sS --max-time 20 --cacert '" + crt + "' " + Url("/a.txt"), &exitCode);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(page, "own certificate");
  EXPECT_FALSE(IsFile(JoinPath(files_.path(), "OrviHTTP.crt")));

  const std::string redirect = Get(port_, "/a.txt?x=1");
  EXPECT_EQ(redirect.rfind("HTTP/1.1 301\r\n", 0), 0u) << redirect;
  EXPECT_NE(
      redirect.find("Location: https://test:" + std::to_string(httpsPort_) + "/a.txt?x=1\r\n"),
      std::string::npos)
      << redirect;

  // A kick ends a TLS download at once.
  std::thread download([&] {
    RunCommand("curl -sS --max-time 30 -o /dev/null --cacert '" + crt + "' " + Url("/slow.bin"),
               &exitCode);
  });
  ASSERT_TRUE(WaitFor(
      [this] {
        for (const ClientInfo& client : server().clients().Clients()) {
          if (client.currentActivity == "slow.bin") return true;
        }
        return false;
      },
      5000));
  const auto kicked = std::chrono::steady_clock::now();
  for (const ClientInfo& client : server().clients().Clients()) {
    server().clients().Kick(client.connectionId);
  }
  download.join();
  EXPECT_NE(exitCode, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - kicked, std::chrono::seconds(5));
}

}  // namespace
