// A TLS session of the server, driven over a real loopback socket the way
// the connection loop will drive it, against an mbedTLS client in the same
// process (on every platform) and against openssl s_client (where it runs).
#include "orvihttp/tls/tls_session.h"

#include <gtest/gtest.h>
#include <mbedtls/ssl.h>
#include <mbedtls/x509_crt.h>

#include "foundation/winsock_startup.h"
#include "orvihttp/tls/made_certificate.h"
#include "orvihttp/tls/tls_random.h"
#include "orvihttp/tls/utc_time.h"
#include "tests/orvihttp/tls/openssl_tool.h"
#include "tests/orvihttp/tls/tls_loopback.h"
#include "tests/orvihttp/tls/tls_test_client.h"
#include "tests/support/test_support.h"

namespace {

WinsockStartup winsock;

constexpr uint32_t kWaitMs = 20000;

// A made certificate for localhost and a server config over it.
class TlsSessionTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    CertificateNames names{{"localhost"}, {"127.0.0.1"}};
    ASSERT_TRUE(MakeCertificate(folder_.path(), names, UtcNow() - 60, &error)) << error;
    certificateFile_ = folder_.File(kMadeCertificateFile);
    ServerCredentialsResult loaded =
        LoadServerCredentials(certificateFile_, folder_.File(kMadeKeyFile), UtcNow());
    ASSERT_TRUE(loaded.credentials) << loaded.error;
    config_ = TlsServerConfig::Create(loaded.credentials, &error);
    ASSERT_TRUE(config_) << error;
  }

  TempFolder folder_;
  std::string certificateFile_;
  std::unique_ptr<TlsServerConfig> config_;
};

// A reply over several records of the largest size, with a pattern that
// shows a lost or repeated record.
std::string LargeReply() {
  std::string reply;
  for (int i = 0; reply.size() < 300000; ++i) {
    reply += std::to_string(i) + ",";
  }
  return reply;
}

TEST_F(TlsSessionTest, MbedtlsClientsOfBothVersionsGetAVerifiedSessionAndEveryByte) {
  const std::string reply = LargeReply();
  for (auto version : {MBEDTLS_SSL_VERSION_TLS1_3, MBEDTLS_SSL_VERSION_TLS1_2}) {
    SCOPED_TRACE(version == MBEDTLS_SSL_VERSION_TLS1_3 ? "TLS 1.3" : "TLS 1.2");
    OneClientTlsServer server(*config_, reply, true);
    const TlsClientOutcome client = RunTlsClient(
        server.port(), certificateFile_,
        version == MBEDTLS_SSL_VERSION_TLS1_3 ? TlsTestVersion::Tls13 : TlsTestVersion::Tls12,
        "GET / HTTP/1.1\r\n");
    const ServedConnection& served = server.Finish();
    const char* expected = version == MBEDTLS_SSL_VERSION_TLS1_3 ? "TLSv1.3" : "TLSv1.2";
    ASSERT_EQ(client.handshake, 0) << served.failure;
    EXPECT_EQ(client.verifyFlags, 0u) << "the made certificate is trusted for localhost";
    EXPECT_EQ(served.handshake, TlsStatus::Done);
    EXPECT_EQ(client.version, expected);
    EXPECT_EQ(served.version, expected);
    EXPECT_EQ(client.alpn, "http/1.1");
    EXPECT_EQ(served.alpn, "http/1.1");
    EXPECT_EQ(served.received, "GET / HTTP/1.1\r\n");
    EXPECT_EQ(client.received.size(), reply.size());
    EXPECT_TRUE(client.received == reply) << "the bytes arrive unchanged and in order";
    EXPECT_TRUE(client.closeNotify);
    EXPECT_TRUE(served.closedCleanly);
  }
}

TEST_F(TlsSessionTest, PlainHttpOnTheTlsPortFailsTheHandshakeAtOnce) {
  OneClientTlsServer server(*config_, "never sent", false);
  SocketHandle socket = ConnectToLoopback(server.port());
  ASSERT_NE(socket, kInvalidSocket);
  const std::string request = "GET / HTTP/1.1\r\nHost: localhost\r\n\r\n";
  EXPECT_EQ(SendSome(socket, request.data(), static_cast<int>(request.size())).result,
            SocketResult::Done);
  const ServedConnection& served = server.Finish();
  EXPECT_EQ(served.handshake, TlsStatus::Failed);
  EXPECT_EQ(served.failure, "the client did not speak TLS");
  // The server closed the socket: the client reads the end, perhaps after an
  // alert, but never a page.
  std::string answer;
  char buffer[512];
  while (WaitForSocket(socket, false, kWaitMs, nullptr) == SocketWait::Ready) {
    SocketTransfer got = ReceiveSome(socket, buffer, sizeof buffer);
    if (got.result != SocketResult::Done) break;
    answer.append(buffer, got.bytes);
  }
  EXPECT_EQ(answer.find("HTTP/"), std::string::npos);
  CloseSocket(socket);
}

// openssl s_client against the session: an independent TLS stack checks the
// versions, the certificate and ALPN, and old versions are refused.
TEST_F(TlsSessionTest, OpensslClientSpeaksTls13And12AndIsRefusedTls11) {
  if (!OpensslReachable()) {
    GTEST_SKIP() << "openssl is not reachable here";
  }
  struct Case {
    const char* option;
    const char* protocol;
  };
  for (const Case& each : {Case{"-tls1_3", "TLSv1.3"}, Case{"-tls1_2", "TLSv1.2"}}) {
    SCOPED_TRACE(each.option);
    OneClientTlsServer server(*config_, "hello over TLS\n", false);
    int code = -1;
    const std::string output =
        RunOpenssl("s_client -connect 127.0.0.1:" + std::to_string(server.port()) + " " +
                       each.option + " -alpn http/1.1 -CAfile \"" + certificateFile_ +
                       "\" -verify_hostname localhost -verify_return_error -ign_eof",
                   &code);
    const ServedConnection& served = server.Finish();
    EXPECT_EQ(code, 0) << output;
    EXPECT_EQ(served.handshake, TlsStatus::Done) << served.failure;
    EXPECT_EQ(served.version, each.protocol);
    EXPECT_NE(output.find(std::string("Protocol  : ") + each.protocol), std::string::npos)
        << output;
    EXPECT_NE(output.find("Verify return code: 0 (ok)"), std::string::npos) << output;
    EXPECT_NE(output.find("ALPN protocol: http/1.1"), std::string::npos) << output;
    EXPECT_NE(output.find("hello over TLS"), std::string::npos) << output;
    EXPECT_EQ(output.find("-CBC-"), std::string::npos) << "AEAD suites only";
  }
  for (const char* old : {"-tls1_1", "-tls1"}) {
    SCOPED_TRACE(old);
    OneClientTlsServer server(*config_, "never sent", false);
    int code = -1;
    // The client allows the old version at its lowest security level, so the
    // refusal is the server's.
    const std::string output =
        RunOpenssl("s_client -connect 127.0.0.1:" + std::to_string(server.port()) + " " + old +
                       " -cipher DEFAULT@SECLEVEL=0 -ign_eof",
                   &code);
    const ServedConnection& served = server.Finish();
    EXPECT_NE(code, 0) << output;
    EXPECT_EQ(served.handshake, TlsStatus::Failed);
    EXPECT_EQ(output.find("never sent"), std::string::npos);
  }
}

TEST_F(TlsSessionTest, OpensslClientResumesWithTheSessionTicket) {
  if (!OpensslReachable()) {
    GTEST_SKIP() << "openssl is not reachable here";
  }
  const std::string ticketFile = folder_.File("session.pem");
  std::string outputs[2];
  for (int round = 0; round < 2; ++round) {
    OneClientTlsServer server(*config_, "hello\n", false);
    outputs[round] = RunOpenssl("s_client -connect 127.0.0.1:" + std::to_string(server.port()) +
                                " -tls1_3 -CAfile \"" + certificateFile_ + "\" -ign_eof " +
                                (round == 0 ? "-sess_out \"" : "-sess_in \"") + ticketFile + "\"");
    EXPECT_EQ(server.Finish().handshake, TlsStatus::Done);
  }
  EXPECT_NE(outputs[0].find("New, TLSv1.3"), std::string::npos) << outputs[0];
  EXPECT_NE(outputs[1].find("Reused, TLSv1.3"), std::string::npos) << outputs[1];
}

}  // namespace
