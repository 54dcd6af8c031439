#include "orvihttp/tls/tls_server_config.h"

#include "orvihttp/tls/mbedtls_parts.h"
#include "orvihttp/tls/tls_random.h"

namespace {

// The AEAD suites, strongest first within each version. The TLS 1.2 ones
// all use ECDHE, so every connection has forward secrecy.
const int kCipherSuites[] = {
    MBEDTLS_TLS1_3_AES_256_GCM_SHA384,
    MBEDTLS_TLS1_3_CHACHA20_POLY1305_SHA256,
    MBEDTLS_TLS1_3_AES_128_GCM_SHA256,
    MBEDTLS_TLS_ECDHE_ECDSA_WITH_AES_256_GCM_SHA384,
    MBEDTLS_TLS_ECDHE_ECDSA_WITH_CHACHA20_POLY1305_SHA256,
    MBEDTLS_TLS_ECDHE_ECDSA_WITH_AES_128_GCM_SHA256,
    MBEDTLS_TLS_ECDHE_RSA_WITH_AES_256_GCM_SHA384,
    MBEDTLS_TLS_ECDHE_RSA_WITH_CHACHA20_POLY1305_SHA256,
    MBEDTLS_TLS_ECDHE_RSA_WITH_AES_128_GCM_SHA256,
    0,
};

const uint16_t kGroups[] = {
    MBEDTLS_SSL_IANA_TLS_GROUP_X25519,
    MBEDTLS_SSL_IANA_TLS_GROUP_SECP256R1,
    MBEDTLS_SSL_IANA_TLS_GROUP_SECP384R1,
    MBEDTLS_SSL_IANA_TLS_GROUP_NONE,
};

const char* kAlpnProtocols[] = {"http/1.1", nullptr};

// Tickets say for how long a client may resume without a full handshake.
constexpr uint32_t kTicketLifetimeSeconds = 86400;

}  // namespace

TlsServerConfig::TlsServerConfig(std::shared_ptr<const ServerCredentials> credentials,
                                 std::unique_ptr<TlsServerConfigParts> parts)
    : credentials_(std::move(credentials)), parts_(std::move(parts)) {}

TlsServerConfig::~TlsServerConfig() = default;

std::unique_ptr<TlsServerConfig> TlsServerConfig::Create(
    std::shared_ptr<const ServerCredentials> credentials, std::string* error) {
  if (!StartTlsLibrary()) {
    *error = "The system gave no random numbers for TLS.";
    return nullptr;
  }
  auto parts = std::make_unique<TlsServerConfigParts>();
  mbedtls_ssl_config& config = parts->config;
  int status = mbedtls_ssl_config_defaults(
      &config, MBEDTLS_SSL_IS_SERVER, MBEDTLS_SSL_TRANSPORT_STREAM, MBEDTLS_SSL_PRESET_DEFAULT);
  if (status == 0) {
    mbedtls_ssl_conf_rng(&config, TlsRandom, TlsRandomState());
    mbedtls_ssl_conf_min_tls_version(&config, MBEDTLS_SSL_VERSION_TLS1_2);
    mbedtls_ssl_conf_max_tls_version(&config, MBEDTLS_SSL_VERSION_TLS1_3);
    mbedtls_ssl_conf_ciphersuites(&config, kCipherSuites);
    mbedtls_ssl_conf_groups(&config, kGroups);
    mbedtls_ssl_conf_tls13_key_exchange_modes(
        &config, MBEDTLS_SSL_TLS1_3_KEY_EXCHANGE_MODE_EPHEMERAL |
                     MBEDTLS_SSL_TLS1_3_KEY_EXCHANGE_MODE_PSK_EPHEMERAL);
    // Renegotiation is not built in; a client that asks is refused.
    status = mbedtls_ssl_conf_alpn_protocols(&config, kAlpnProtocols);
  }
  if (status == 0) {
    status = mbedtls_ssl_conf_own_cert(&config, &credentials->chain().parts().chain,
                                       &credentials->key().key);
  }
  if (status == 0) {
    status = mbedtls_ssl_ticket_setup(&parts->tickets, TlsRandom, TlsRandomState(),
                                      MBEDTLS_CIPHER_AES_256_GCM, kTicketLifetimeSeconds);
  }
  if (status != 0) {
    *error = "TLS could not be set up (error " + MbedtlsErrorCode(status) + ").";
    return nullptr;
  }
  mbedtls_ssl_conf_session_tickets_cb(&config, mbedtls_ssl_ticket_write, mbedtls_ssl_ticket_parse,
                                      &parts->tickets);
  return std::unique_ptr<TlsServerConfig>(
      new TlsServerConfig(std::move(credentials), std::move(parts)));
}
