#pragma once

#include <memory>
#include <string>

#include "orvihttp/tls/server_credentials.h"

struct TlsServerConfigParts;

// How the server speaks TLS, shared by all its connections: TLS 1.2 and 1.3
// only; ECDHE key exchange; AES-GCM and ChaCha20-Poly1305 only; session
// tickets for resumption, under keys made at start and renewed by mbedTLS as
// they age; ALPN "http/1.1"; the credentials' certificate chain as given.
// Sessions on any thread may use one object at once.
class TlsServerConfig {
 public:
  ~TlsServerConfig();
  TlsServerConfig(const TlsServerConfig&) = delete;
  TlsServerConfig& operator=(const TlsServerConfig&) = delete;

  // Nothing, with the reason in `*error`, when the library cannot start.
  static std::unique_ptr<TlsServerConfig> Create(
      std::shared_ptr<const ServerCredentials> credentials, std::string* error);

  const ServerCredentials& credentials() const { return *credentials_; }
  // For this module's code only.
  TlsServerConfigParts& parts() const { return *parts_; }

 private:
  TlsServerConfig(std::shared_ptr<const ServerCredentials> credentials,
                  std::unique_ptr<TlsServerConfigParts> parts);

  std::shared_ptr<const ServerCredentials> credentials_;
  std::unique_ptr<TlsServerConfigParts> parts_;
};
