#include "orvihttp/http/https_credentials.h"

#include <ctime>

#include "orvihttp/tls/made_certificate.h"
#include "orvihttp/tls/server_credentials.h"

std::shared_ptr<const TlsServerConfig> PrepareHttps(const ServerSettings& settings,
                                                    std::string* error, std::string* note) {
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  note->clear();
  std::string certificateFile = settings.certificateFile;
  std::string keyFile = settings.keyFile;
  if (certificateFile.empty() && keyFile.empty()) {
    const MadeCertificateResult made =
        EnsureMadeCertificate(settings.installFolder, CurrentCertificateNames(), now);
    if (made.action == MadeCertificateAction::Failed) {
      *error = made.message;
      return nullptr;
    }
    if (made.action == MadeCertificateAction::Made) {
      *note = "Made a certificate for this computer: " + made.certificateFile;
    } else if (made.action == MadeCertificateAction::Renewed) {
      *note = "Made a new certificate for this computer (" + made.message +
              "); the old one is kept as .old";
    }
    certificateFile = made.certificateFile;
    keyFile = made.keyFile;
  } else if (certificateFile.empty() || keyFile.empty()) {
    *error = "Name both a certificate file and a key file, or neither.";
    return nullptr;
  }
  ServerCredentialsResult loaded = LoadServerCredentials(certificateFile, keyFile, now);
  if (!loaded.credentials) {
    *error = loaded.error;
    return nullptr;
  }
  std::unique_ptr<TlsServerConfig> config = TlsServerConfig::Create(loaded.credentials, error);
  return std::shared_ptr<const TlsServerConfig>(std::move(config));
}
