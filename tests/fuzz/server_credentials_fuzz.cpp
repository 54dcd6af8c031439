// A certificate file and a key file as the user may name them: the input up
// to its first NUL byte is the certificate text, the rest the key text.
// Whatever they hold, the loader answers with credentials or a message.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "orvihttp/tls/certificate_chain.h"
#include "orvihttp/tls/server_credentials.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const std::string certificate = input.substr(0, split);
  const std::string key = split == std::string::npos ? "" : input.substr(split + 1);

  // A time inside the validity of the seed certificates.
  const int64_t now = 1800000000;
  ServerCredentialsResult loaded = ParseServerCredentials(certificate, key, "a.crt", "a.key", now);
  if (loaded.credentials.get() == nullptr && loaded.error.empty()) std::abort();
  if (loaded.credentials) {
    const CertificateChain& chain = loaded.credentials->chain();
    if (chain.Size() < 1 || chain.Fingerprint().size() != 95) std::abort();
    if (chain.NotBefore() > now || chain.NotAfter() < now) std::abort();
    chain.SubjectAltNames();
  }
  CertificateChainResult alone = ParseCertificateChain(input, "a.crt");
  if (alone.chain.get() == nullptr && alone.error.empty()) std::abort();
  return 0;
}
