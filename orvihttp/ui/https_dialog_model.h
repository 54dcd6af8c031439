#pragma once

#include <cstdint>
#include <string>

#include "orvihttp/ui/working_settings.h"

// What the HTTPS dialog of the Settings page edits.
struct HttpsChoices {
  bool https = false;
  int32_t port = 8443;
  std::string certificateFile;  // "" with keyFile "": the pair made for this computer
  std::string keyFile;
  bool redirect = false;

  bool operator==(const HttpsChoices&) const = default;
};

// The choices in the Settings page's working copy, with the defaults for
// keys it does not hold yet.
HttpsChoices HttpsChoicesOf(const WorkingSettings& working);
// Writes the choices that differ from the copy's back into it, so an
// untouched dialog adds nothing to the saved file. True when anything did.
bool StoreHttpsChoices(const HttpsChoices& choices, WorkingSettings& working);

// The dialog's read-only lines about the certificate the choices serve with:
// its SHA-256 fingerprint (in two rows of 16 pairs) and when it expires, to read out to the people
// one shares with; that one will be made at the first start, when there is none yet; or why the
// named files cannot serve.
std::string CertificateSummary(const HttpsChoices& choices, const std::string& installFolder,
                               int64_t now);

// The addresses the Info page offers while HTTPS is served beside HTTP.
std::string ServerAddressesText(const std::string& hostName, int port, int httpsPort);
