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

// What the in-process client saw.
struct ClientOutcome {
  int handshake = -1;
  uint32_t verifyFlags = ~0u;
  std::string version;
  std::string alpn;
  std::string received;
  bool closeNotify = false;
};

int ClientSend(void* socket, const unsigned char* data, size_t size) {
  SocketTransfer sent = SendSome(*static_cast<SocketHandle*>(socket),
                                 reinterpret_cast<const char*>(data), static_cast<int>(size));
  if (sent.result == SocketResult::WouldBlock) return MBEDTLS_ERR_SSL_WANT_WRITE;
  return sent.result == SocketResult::Done ? sent.bytes : MBEDTLS_ERR_SSL_INTERNAL_ERROR;
}

int ClientReceive(void* socket, unsigned char* buffer, size_t size) {
  SocketTransfer got = ReceiveSome(*static_cast<SocketHandle*>(socket),
                                   reinterpret_cast<char*>(buffer), static_cast<int>(size));
  if (got.result == SocketResult::WouldBlock) return MBEDTLS_ERR_SSL_WANT_READ;
  if (got.result == SocketResult::Closed) return 0;
  return got.result == SocketResult::Done ? got.bytes : MBEDTLS_ERR_SSL_INTERNAL_ERROR;
}

// Calls `step` until it stops asking to wait, waiting on the socket between.
template <typename Step>
int Drive(SocketHandle socket, Step step) {
  int result;
  while ((result = step()) == MBEDTLS_ERR_SSL_WANT_READ || result == MBEDTLS_ERR_SSL_WANT_WRITE) {
    if (WaitForSocket(socket, result == MBEDTLS_ERR_SSL_WANT_WRITE, kWaitMs, nullptr) !=
        SocketWait::Ready) {
      return result;
    }
  }
  return result;
}

// An mbedTLS client that trusts `caFile`, checks the name "localhost", offers
// ALPN http/1.1, sends `line` and reads until the server closes.
ClientOutcome RunClient(int port, const std::string& caFile,
                        mbedtls_ssl_protocol_version maxVersion, const std::string& line) {
  ClientOutcome outcome;
  EXPECT_TRUE(StartTlsLibrary());
  mbedtls_x509_crt trusted;
  mbedtls_x509_crt_init(&trusted);
  const std::string caPem = ReadFileBytes(caFile);
  EXPECT_EQ(mbedtls_x509_crt_parse(&trusted, reinterpret_cast<const unsigned char*>(caPem.c_str()),
                                   caPem.size() + 1),
            0);
  mbedtls_ssl_config config;
  mbedtls_ssl_config_init(&config);
  EXPECT_EQ(mbedtls_ssl_config_defaults(&config, MBEDTLS_SSL_IS_CLIENT,
                                        MBEDTLS_SSL_TRANSPORT_STREAM, MBEDTLS_SSL_PRESET_DEFAULT),
            0);
  mbedtls_ssl_conf_rng(&config, TlsRandom, TlsRandomState());
  mbedtls_ssl_conf_authmode(&config, MBEDTLS_SSL_VERIFY_REQUIRED);
  mbedtls_ssl_conf_ca_chain(&config, &trusted, nullptr);
  mbedtls_ssl_conf_min_tls_version(&config, MBEDTLS_SSL_VERSION_TLS1_2);
  mbedtls_ssl_conf_max_tls_version(&config, maxVersion);
  static const char* alpn[] = {"http/1.1", nullptr};
  mbedtls_ssl_conf_alpn_protocols(&config, alpn);
  mbedtls_ssl_context ssl;
  mbedtls_ssl_init(&ssl);
  EXPECT_EQ(mbedtls_ssl_setup(&ssl, &config), 0);
  mbedtls_ssl_set_hostname(&ssl, "localhost");

  SocketHandle socket = ConnectToLoopback(port);
  EXPECT_NE(socket, kInvalidSocket);
  mbedtls_ssl_set_bio(&ssl, &socket, ClientSend, ClientReceive, nullptr);
  outcome.handshake = Drive(socket, [&] { return mbedtls_ssl_handshake(&ssl); });
  outcome.verifyFlags = mbedtls_ssl_get_verify_result(&ssl);
  if (outcome.handshake == 0) {
    outcome.version = mbedtls_ssl_get_version(&ssl);
    const char* protocol = mbedtls_ssl_get_alpn_protocol(&ssl);
    outcome.alpn = protocol ? protocol : "";
    size_t sent = 0;
    while (sent < line.size()) {
      const int wrote = Drive(socket, [&] {
        return mbedtls_ssl_write(&ssl, reinterpret_cast<const unsigned char*>(line.data()) + sent,
                                 line.size() - sent);
      });
      if (wrote <= 0) break;
      sent += static_cast<size_t>(wrote);
    }
    unsigned char buffer[16384];
    for (;;) {
      const int got = Drive(socket, [&] { return mbedtls_ssl_read(&ssl, buffer, sizeof buffer); });
      if (got > 0) {
        outcome.received.append(reinterpret_cast<char*>(buffer), static_cast<size_t>(got));
      } else if (got != MBEDTLS_ERR_SSL_RECEIVED_NEW_SESSION_TICKET) {
        outcome.closeNotify = got == MBEDTLS_ERR_SSL_PEER_CLOSE_NOTIFY;
        break;
      }
    }
    Drive(socket, [&] { return mbedtls_ssl_close_notify(&ssl); });
  }
  CloseSocket(socket);
  mbedtls_ssl_free(&ssl);
  mbedtls_ssl_config_free(&config);
  mbedtls_x509_crt_free(&trusted);
  return outcome;
}

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
    const ClientOutcome client =
        RunClient(server.port(), certificateFile_, version, "GET / HTTP/1.1\r\n");
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
