// Bytes from a client as the server's TLS session meets them on its port:
// handshake records of every kind and shape, and whatever follows them. The
// session answers, fails or waits for more; it never crashes or loops.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "orvihttp/tls/made_certificate.h"
#include "orvihttp/tls/server_credentials.h"
#include "orvihttp/tls/tls_server_config.h"
#include "orvihttp/tls/tls_session.h"
#include "orvihttp/tls/utc_time.h"

namespace {

// The input in pieces of varying size, then the end of the stream; what the
// server sends is dropped.
class InputTransport : public TlsTransport {
 public:
  InputTransport(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  TransportResult Send(const char*, size_t size) override { return {TransportStatus::Done, size}; }
  TransportResult Receive(char* buffer, size_t size) override {
    if (offset_ == size_) {
      return {TransportStatus::Closed, 0};
    }
    // Every other call would block, as a socket between two segments does.
    if ((++calls_ & 1) == 0) {
      return {TransportStatus::WouldBlock, 0};
    }
    const size_t piece = std::min({size, size_ - offset_, size_t{1} + calls_ * 37 % 700});
    std::copy(data_ + offset_, data_ + offset_ + piece, buffer);
    offset_ += piece;
    return {TransportStatus::Done, piece};
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
  size_t calls_ = 0;
};

const TlsServerConfig& Config() {
  static std::unique_ptr<TlsServerConfig> config = [] {
    std::string key;
    std::string certificate;
    std::string error;
    const int64_t now = UtcNow();
    if (!MakeCertificateText(CertificateNames{{"localhost"}, {"127.0.0.1"}}, now - 60, &key,
                             &certificate, &error)) {
      std::abort();
    }
    ServerCredentialsResult credentials =
        ParseServerCredentials(certificate, key, "fuzz.crt", "fuzz.key", now);
    std::unique_ptr<TlsServerConfig> made =
        credentials.credentials ? TlsServerConfig::Create(credentials.credentials, &error)
                                : nullptr;
    if (!made) std::abort();
    return made;
  }();
  return *config;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InputTransport transport(data, size);
  TlsSession session(Config(), transport);
  TlsStatus status = TlsStatus::WantsRead;
  // Each round either takes input or ends; more rounds than bytes is a loop.
  size_t rounds = 0;
  while ((status = session.Handshake()) == TlsStatus::WantsRead ||
         status == TlsStatus::WantsWrite) {
    if (++rounds > 4 * size + 16) std::abort();
  }
  if (status == TlsStatus::Done) {
    char buffer[4096];
    TlsResult read;
    while ((read = session.Read(buffer, sizeof buffer)).status != TlsStatus::Closed &&
           read.status != TlsStatus::Failed) {
      if (++rounds > 4 * size + 16) std::abort();
    }
  } else if (session.FailureText().empty()) {
    std::abort();
  }
  return 0;
}
