#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct CertificateChainParts;

// A certificate chain read from a PEM file: the server's own certificate
// first, then the certificates that vouch for it, in the file's order.
class CertificateChain {
 public:
  explicit CertificateChain(std::unique_ptr<CertificateChainParts> parts);
  ~CertificateChain();
  CertificateChain(const CertificateChain&) = delete;
  CertificateChain& operator=(const CertificateChain&) = delete;

  // The SHA-256 fingerprint of the first certificate, as upper-case hex
  // pairs joined by colons ("3A:0F:..."), the way browsers show it.
  std::string Fingerprint() const;
  // The first certificate's validity, in seconds since 1970 (UTC).
  int64_t NotBefore() const;
  int64_t NotAfter() const;
  // NotAfter as the settings window shows it: "2029-03-14 09:05:00 UTC".
  std::string ExpiryText() const;
  // The first certificate's subject alternative names, sorted:
  // "DNS:localhost", "IP:192.168.1.20".
  std::vector<std::string> SubjectAltNames() const;
  // How many certificates the chain holds.
  int Size() const;

  // For this module's code only.
  CertificateChainParts& parts() const { return *parts_; }

 private:
  std::unique_ptr<CertificateChainParts> parts_;
};

// Either a chain or the message that says why there is none.
struct CertificateChainResult {
  std::shared_ptr<const CertificateChain> chain;
  std::string error;
};

// Reads every certificate of a PEM file. The messages name `path`: the file
// is missing, is a folder, cannot be read, holds no PEM certificate, or holds
// one that cannot be read.
CertificateChainResult LoadCertificateChain(const std::string& path);
// The same for text already read; `path` only names it in messages.
CertificateChainResult ParseCertificateChain(const std::string& pemText, const std::string& path);

// A file's whole contents for a loader, or the message why not (`what` is
// "certificate file" or "key file").
bool ReadCredentialFile(const std::string& path, const char* what, std::string* text,
                        std::string* error);
