#include "orvihttp/ui/https_dialog_model.h"

#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "orvihttp/config/server_keys.h"
#include "orvihttp/tls/certificate_chain.h"
#include "orvihttp/tls/made_certificate.h"
#include "orvihttp/tls/server_credentials.h"

HttpsChoices HttpsChoicesOf(const WorkingSettings& working) {
  HttpsChoices choices;
  choices.https = working.Get(kHttps);
  if (working.Has(kHttpsPort.name)) choices.port = working.Get(kHttpsPort);
  choices.certificateFile = working.Get(kCertificateFile);
  choices.keyFile = working.Get(kKeyFile);
  choices.redirect = working.Get(kRedirectToHttps);
  return choices;
}

bool StoreHttpsChoices(const HttpsChoices& choices, WorkingSettings& working) {
  const HttpsChoices before = HttpsChoicesOf(working);
  if (choices.https != before.https) working.Set(kHttps, choices.https);
  if (choices.port != before.port) working.Set(kHttpsPort, choices.port);
  if (choices.certificateFile != before.certificateFile) {
    working.Set(kCertificateFile, choices.certificateFile);
  }
  if (choices.keyFile != before.keyFile) working.Set(kKeyFile, choices.keyFile);
  if (choices.redirect != before.redirect) working.Set(kRedirectToHttps, choices.redirect);
  return !(choices == before);
}

namespace {

// The fingerprint's 32 pairs in two lines of 16, so they read out in rows.
std::string ChainSummary(const CertificateChain& chain) {
  const std::string fingerprint = chain.Fingerprint();
  constexpr std::size_t kHalf = 16 * 3;
  const std::string rows = fingerprint.size() > kHalf ? fingerprint.substr(0, kHalf - 1) + "\r\n" +
                                                            fingerprint.substr(kHalf)
                                                      : fingerprint;
  return "SHA-256: " + rows + "\r\nValid until " + chain.ExpiryText();
}

}  // namespace

std::string CertificateSummary(const HttpsChoices& choices, const std::string& installFolder,
                               int64_t now) {
  if (choices.certificateFile.empty() && choices.keyFile.empty()) {
    const std::string made = JoinPath(installFolder, kMadeCertificateFile);
    if (!IsFile(made)) {
      return "No certificate yet: one is made for this computer when HTTPS starts.";
    }
    CertificateChainResult loaded = LoadCertificateChain(made);
    if (!loaded.chain) return loaded.error + " A new one is made when HTTPS starts.";
    return ChainSummary(*loaded.chain);
  }
  if (choices.certificateFile.empty() || choices.keyFile.empty()) {
    return "Name both a certificate file and a key file, or neither.";
  }
  ServerCredentialsResult loaded =
      LoadServerCredentials(choices.certificateFile, choices.keyFile, now);
  if (!loaded.credentials) return loaded.error;
  return ChainSummary(loaded.credentials->chain());
}

std::string ServerAddressesText(const std::string& hostName, int port, int httpsPort) {
  const std::string host = hostName.empty() ? "localhost" : hostName;
  return "http://" + host + ":" + std::to_string(port) + "/   https://" + host + ":" +
         std::to_string(httpsPort) + "/";
}
