#include "orvihttp/tls/certificate_chain.h"

#include <mbedtls/sha256.h>

#include <algorithm>
#include <cstdio>

#include "foundation/file_open.h"
#include "foundation/file_system.h"
#include "foundation/system_error_text.h"
#include "orvihttp/tls/mbedtls_parts.h"
#include "orvihttp/tls/tls_random.h"
#include "orvihttp/tls/utc_time.h"

namespace {

// Certificate and key files are a few kilobytes; anything far larger is
// not one, and is not read into memory whole.
constexpr uint64_t kLargestCredentialFile = 1 << 20;

constexpr char kPemCertificateBegin[] = "-----BEGIN CERTIFICATE-----";

std::string IpAddressText(const unsigned char* bytes, size_t length) {
  char text[64];
  if (length == 4) {
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
  }
  std::string result;
  for (size_t i = 0; i + 1 < length; i += 2) {
    std::snprintf(text, sizeof text, "%s%x", i == 0 ? "" : ":", bytes[i] << 8 | bytes[i + 1]);
    result += text;
  }
  return result;
}

}  // namespace

int64_t X509TimeSeconds(const mbedtls_x509_time& time) {
  return UtcSeconds(UtcDateTime{time.year, time.mon, time.day, time.hour, time.min, time.sec});
}

std::string MbedtlsErrorCode(int error) {
  char text[16];
  std::snprintf(text, sizeof text, "%s0x%04X", error < 0 ? "-" : "",
                static_cast<unsigned>(error < 0 ? -error : error));
  return text;
}

CertificateChain::CertificateChain(std::unique_ptr<CertificateChainParts> parts)
    : parts_(std::move(parts)) {}

CertificateChain::~CertificateChain() = default;

std::string CertificateChain::Fingerprint() const {
  unsigned char digest[32];
  const mbedtls_x509_buf& der = parts_->chain.raw;
  if (mbedtls_sha256(der.p, der.len, digest, 0) != 0) {
    return "";
  }
  std::string text;
  for (unsigned char byte : digest) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%s%02X", text.empty() ? "" : ":", byte);
    text += pair;
  }
  return text;
}

int64_t CertificateChain::NotBefore() const {
  return X509TimeSeconds(parts_->chain.valid_from);
}

int64_t CertificateChain::NotAfter() const {
  return X509TimeSeconds(parts_->chain.valid_to);
}

std::string CertificateChain::ExpiryText() const {
  return UtcTimeText(NotAfter());
}

std::vector<std::string> CertificateChain::SubjectAltNames() const {
  std::vector<std::string> names;
  for (const mbedtls_x509_sequence* entry = &parts_->chain.subject_alt_names;
       entry != nullptr && entry->buf.p != nullptr; entry = entry->next) {
    mbedtls_x509_subject_alternative_name name;
    if (mbedtls_x509_parse_subject_alt_name(&entry->buf, &name) != 0) {
      continue;
    }
    const mbedtls_x509_buf& value = name.san.unstructured_name;
    if (name.type == MBEDTLS_X509_SAN_DNS_NAME) {
      names.push_back("DNS:" + std::string(reinterpret_cast<const char*>(value.p), value.len));
    } else if (name.type == MBEDTLS_X509_SAN_IP_ADDRESS) {
      names.push_back("IP:" + IpAddressText(value.p, value.len));
    }
    mbedtls_x509_free_subject_alt_name(&name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

int CertificateChain::Size() const {
  int count = 0;
  for (const mbedtls_x509_crt* certificate = &parts_->chain;
       certificate != nullptr && certificate->raw.p != nullptr; certificate = certificate->next) {
    ++count;
  }
  return count;
}

bool ReadCredentialFile(const std::string& path, const char* what, std::string* text,
                        std::string* error) {
  const std::string named = std::string("The ") + what + " " + path;
  if (IsFolder(path)) {
    *error = named + " is a folder, not a file.";
    return false;
  }
  const std::optional<FileStatus> status = QueryFileStatus(path);
  if (!status) {
    *error = named + " does not exist.";
    return false;
  }
  if (status->size > kLargestCredentialFile) {
    *error = named + " is too large to be one.";
    return false;
  }
  std::FILE* file = OpenFile(path, "rb");
  if (file == nullptr) {
    *error = named + " cannot be read: " + LastSystemErrorText();
    return false;
  }
  text->assign(status->size, '\0');
  const size_t got = std::fread(text->data(), 1, text->size(), file);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    *error = named + " cannot be read.";
    return false;
  }
  text->resize(got);
  return true;
}

CertificateChainResult LoadCertificateChain(const std::string& path) {
  CertificateChainResult result;
  std::string text;
  if (!ReadCredentialFile(path, "certificate file", &text, &result.error)) {
    return result;
  }
  return ParseCertificateChain(text, path);
}

CertificateChainResult ParseCertificateChain(const std::string& pemText, const std::string& path) {
  CertificateChainResult result;
  StartTlsLibrary();
  if (pemText.find(kPemCertificateBegin) == std::string::npos) {
    result.error = "The certificate file " + path +
                   " holds no certificate in PEM form (a block that starts with " +
                   kPemCertificateBegin + ").";
    return result;
  }
  auto parts = std::make_unique<CertificateChainParts>();
  // mbedTLS takes PEM only with its terminating NUL counted.
  const int failed = mbedtls_x509_crt_parse(
      &parts->chain, reinterpret_cast<const unsigned char*>(pemText.c_str()), pemText.size() + 1);
  if (failed != 0) {
    result.error = "The certificate file " + path + " holds a PEM certificate that cannot be read" +
                   (failed > 0 ? " (" + std::to_string(failed) + " of its certificates)"
                               : " (error " + MbedtlsErrorCode(failed) + ")") +
                   ".";
    return result;
  }
  result.chain = std::make_shared<CertificateChain>(std::move(parts));
  return result;
}
