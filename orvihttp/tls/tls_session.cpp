#include "orvihttp/tls/tls_session.h"

#include <mbedtls/ssl.h>

#include <algorithm>
#include <climits>

#include "orvihttp/tls/mbedtls_parts.h"

struct TlsSessionParts {
  TlsSessionParts() { mbedtls_ssl_init(&ssl); }
  ~TlsSessionParts() { mbedtls_ssl_free(&ssl); }
  TlsSessionParts(const TlsSessionParts&) = delete;
  TlsSessionParts& operator=(const TlsSessionParts&) = delete;

  mbedtls_ssl_context ssl;
  TlsTransport* transport = nullptr;
  int setupError = 0;
  int lastError = 0;
  // The transport, not TLS, broke: said apart in the failure text.
  bool transportFailed = false;
};

namespace {

// mbedTLS reports a broken transport with whatever the callback returns;
// this code is the one it never makes itself.
constexpr int kTransportBroken = MBEDTLS_ERR_SSL_INTERNAL_ERROR;

int SendToTransport(void* context, const unsigned char* data, size_t size) {
  auto* parts = static_cast<TlsSessionParts*>(context);
  const TransportResult sent =
      parts->transport->Send(reinterpret_cast<const char*>(data), std::min<size_t>(size, INT_MAX));
  switch (sent.status) {
    case TransportStatus::Done:
      return static_cast<int>(sent.bytes);
    case TransportStatus::WouldBlock:
      return MBEDTLS_ERR_SSL_WANT_WRITE;
    default:
      parts->transportFailed = true;
      return kTransportBroken;
  }
}

int ReceiveFromTransport(void* context, unsigned char* buffer, size_t size) {
  auto* parts = static_cast<TlsSessionParts*>(context);
  const TransportResult received =
      parts->transport->Receive(reinterpret_cast<char*>(buffer), std::min<size_t>(size, INT_MAX));
  switch (received.status) {
    case TransportStatus::Done:
      return static_cast<int>(received.bytes);
    case TransportStatus::WouldBlock:
      return MBEDTLS_ERR_SSL_WANT_READ;
    case TransportStatus::Closed:
      return 0;  // mbedTLS's sign for the end of the stream
    default:
      parts->transportFailed = true;
      return kTransportBroken;
  }
}

}  // namespace

TlsSession::TlsSession(const TlsServerConfig& config, TlsTransport& transport)
    : parts_(std::make_unique<TlsSessionParts>()), transport_(transport) {
  parts_->setupError = mbedtls_ssl_setup(&parts_->ssl, &config.parts().config);
  parts_->transport = &transport_;
  mbedtls_ssl_set_bio(&parts_->ssl, parts_.get(), SendToTransport, ReceiveFromTransport, nullptr);
}

TlsSession::~TlsSession() = default;

TlsStatus TlsSession::StatusOf(int result) {
  switch (result) {
    case 0:
      return TlsStatus::Done;
    case MBEDTLS_ERR_SSL_WANT_READ:
      return TlsStatus::WantsRead;
    case MBEDTLS_ERR_SSL_WANT_WRITE:
      return TlsStatus::WantsWrite;
    default:
      parts_->lastError = result;
      return TlsStatus::Failed;
  }
}

TlsStatus TlsSession::Handshake() {
  if (parts_->setupError != 0) {
    parts_->lastError = parts_->setupError;
    return TlsStatus::Failed;
  }
  return StatusOf(mbedtls_ssl_handshake(&parts_->ssl));
}

TlsResult TlsSession::Read(char* buffer, size_t size) {
  const int result = mbedtls_ssl_read(&parts_->ssl, reinterpret_cast<unsigned char*>(buffer),
                                      std::min<size_t>(size, INT_MAX));
  if (result > 0) {
    return {TlsStatus::Done, static_cast<size_t>(result)};
  }
  if (result == 0 || result == MBEDTLS_ERR_SSL_PEER_CLOSE_NOTIFY ||
      result == MBEDTLS_ERR_SSL_CONN_EOF) {
    return {TlsStatus::Closed, 0};
  }
  return {StatusOf(result), 0};
}

TlsResult TlsSession::Write(const char* data, size_t size) {
  size_t sent = 0;
  while (sent < size) {
    // One call seals at most one record of the largest size the
    // connection allows.
    const int largest = mbedtls_ssl_get_max_out_record_payload(&parts_->ssl);
    const size_t chunk = std::min(size - sent, static_cast<size_t>(largest > 0 ? largest : 16384));
    const int result =
        mbedtls_ssl_write(&parts_->ssl, reinterpret_cast<const unsigned char*>(data + sent), chunk);
    if (result > 0) {
      sent += static_cast<size_t>(result);
      continue;
    }
    return {StatusOf(result), sent};
  }
  return {TlsStatus::Done, sent};
}

TlsStatus TlsSession::Close() {
  return StatusOf(mbedtls_ssl_close_notify(&parts_->ssl));
}

bool TlsSession::HasPendingBytes() const {
  return mbedtls_ssl_get_bytes_avail(&parts_->ssl) > 0 ||
         mbedtls_ssl_check_pending(&parts_->ssl) != 0;
}

std::string TlsSession::FailureText() const {
  const int error = parts_->lastError;
  if (parts_->transportFailed) {
    return "the connection broke";
  }
  switch (error) {
    case 0:
      return "";
    case MBEDTLS_ERR_SSL_BAD_PROTOCOL_VERSION:
      return "the client offered no TLS version of 1.2 or later";
    case MBEDTLS_ERR_SSL_HANDSHAKE_FAILURE:
      return "the client offered nothing the server accepts";
    case MBEDTLS_ERR_SSL_INVALID_RECORD:
    case MBEDTLS_ERR_SSL_DECODE_ERROR:
      return "the client did not speak TLS";
    case MBEDTLS_ERR_SSL_CONN_EOF:
      return "the client closed the connection during the handshake";
    case MBEDTLS_ERR_SSL_FATAL_ALERT_MESSAGE:
      return "the client ended the handshake with an alert";
    default:
      return "TLS error " + MbedtlsErrorCode(error);
  }
}

std::string TlsSession::Version() const {
  const char* version = mbedtls_ssl_get_version(&parts_->ssl);
  return version != nullptr ? version : "";
}

std::string TlsSession::CipherSuite() const {
  const char* suite = mbedtls_ssl_get_ciphersuite(&parts_->ssl);
  return suite != nullptr ? suite : "";
}

std::string TlsSession::Alpn() const {
  const char* protocol = mbedtls_ssl_get_alpn_protocol(&parts_->ssl);
  return protocol != nullptr ? protocol : "";
}
