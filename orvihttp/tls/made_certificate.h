#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A self-signed certificate made for the user when they name none of their
// own: an ECDSA P-256 key, valid for 825 days, carrying every name the
// machine is reached by, written beside the settings.

inline constexpr char kMadeCertificateFile[] = "OrviHTTP.crt";
inline constexpr char kMadeKeyFile[] = "OrviHTTP.key";
// A replaced pair is kept under the same names with this added.
inline constexpr char kReplacedSuffix[] = ".old";
inline constexpr int kMadeCertificateDays = 825;

// The names a made certificate carries.
struct CertificateNames {
  std::vector<std::string> dnsNames;     // "localhost", "mybox"
  std::vector<std::string> ipAddresses;  // IPv4, "127.0.0.1"

  // Sorted as CertificateChain::SubjectAltNames gives them: "DNS:localhost",
  // "IP:127.0.0.1".
  std::vector<std::string> SubjectAltNames() const;
};

// localhost, the machine's host name and every local IPv4 address, each once.
CertificateNames CurrentCertificateNames();

// Makes a new key and certificate valid from `notBefore` as PEM texts.
bool MakeCertificateText(const CertificateNames& names, int64_t notBefore, std::string* keyPem,
                         std::string* certificatePem, std::string* error);

// Makes a new key and certificate valid from `notBefore` (seconds since
// 1970) and writes them as OrviHTTP.key and OrviHTTP.crt into `folder`, each
// through a temporary file that then takes the final name, so a reader never
// sees half a file. The key file is readable by the current user only.
bool MakeCertificate(const std::string& folder, const CertificateNames& names, int64_t notBefore,
                     std::string* error);

enum class MadeCertificateAction {
  Kept,     // the pair there is valid and carries the current names
  Made,     // there was none
  Renewed,  // the old pair was kept as .old and a new one made
  Failed,
};

struct MadeCertificateResult {
  MadeCertificateAction action = MadeCertificateAction::Failed;
  std::string certificateFile;
  std::string keyFile;
  // Why an old pair was replaced, or why nothing could be made.
  std::string message;
};

// Makes sure `folder` holds a made pair that is valid at `now` and carries
// `names`. A pair that expired, carries other names, or cannot be read (one
// file missing, a damaged file, a key of another certificate) is renamed to
// OrviHTTP.crt.old and OrviHTTP.key.old, replacing older ones, and a new pair
// is made.
MadeCertificateResult EnsureMadeCertificate(const std::string& folder,
                                            const CertificateNames& names, int64_t now);
