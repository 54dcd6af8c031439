#include "tests/orvihttp/tls/tls_test_client.h"

#include <gtest/gtest.h>
#include <mbedtls/ssl.h>
#include <mbedtls/x509_crt.h>

#include "orvihttp/http/socket_io.h"
#include "orvihttp/tls/tls_random.h"
#include "tests/support/test_support.h"

namespace {

constexpr uint32_t kWaitMs = 20000;

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

}  // namespace

TlsClientOutcome RunTlsClient(int port, const std::string& caFile, TlsTestVersion maxVersion,
                              const std::string& line) {
  TlsClientOutcome outcome;
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
  mbedtls_ssl_conf_max_tls_version(&config, maxVersion == TlsTestVersion::Tls13
                                                ? MBEDTLS_SSL_VERSION_TLS1_3
                                                : MBEDTLS_SSL_VERSION_TLS1_2);
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
