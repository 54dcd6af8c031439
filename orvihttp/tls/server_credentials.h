#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "orvihttp/tls/certificate_chain.h"

struct PrivateKeyParts;

// What the server proves itself with: its certificate chain and the private
// key of the first certificate (RSA or EC).
class ServerCredentials {
 public:
  ServerCredentials(std::shared_ptr<const CertificateChain> chain,
                    std::unique_ptr<PrivateKeyParts> key);
  ~ServerCredentials();
  ServerCredentials(const ServerCredentials&) = delete;
  ServerCredentials& operator=(const ServerCredentials&) = delete;

  const CertificateChain& chain() const { return *chain_; }
  // For this module's code only.
  PrivateKeyParts& key() const { return *key_; }

 private:
  std::shared_ptr<const CertificateChain> chain_;
  std::unique_ptr<PrivateKeyParts> key_;
};

// Either credentials or the message that says why there are none.
struct ServerCredentialsResult {
  std::shared_ptr<const ServerCredentials> credentials;
  std::string error;
};

// Reads a PEM certificate chain and an unencrypted PEM private key (PKCS#1,
// SEC1 or PKCS#8). One message per way it can fail, naming the file: missing,
// a folder, unreadable, not PEM, damaged, a key protected by a password, a
// key of another kind than RSA or EC, a key that does not belong to the
// certificate, a certificate of the chain expired or not yet valid at `now`
// (seconds since 1970).
ServerCredentialsResult LoadServerCredentials(const std::string& certificateFile,
                                              const std::string& keyFile, int64_t now);
// The same for texts already read; the file names only appear in messages.
ServerCredentialsResult ParseServerCredentials(const std::string& certificateText,
                                               const std::string& keyText,
                                               const std::string& certificateFile,
                                               const std::string& keyFile, int64_t now);
