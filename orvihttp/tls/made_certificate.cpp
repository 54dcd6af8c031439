#include "orvihttp/tls/made_certificate.h"

#include <mbedtls/ecp.h>
#include <mbedtls/oid.h>
#include <mbedtls/x509_crt.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <set>

#include "foundation/file_open.h"
#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "foundation/system_error_text.h"
#include "orvihttp/config/product_identity.h"
#include "orvihttp/tls/machine_names.h"
#include "orvihttp/tls/mbedtls_parts.h"
#include "orvihttp/tls/owner_only_file.h"
#include "orvihttp/tls/server_credentials.h"
#include "orvihttp/tls/tls_random.h"
#include "orvihttp/tls/utc_time.h"

namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr char kTemporarySuffix[] = ".new";

// A host name only goes into the certificate when it is one a browser can
// ask for: letters, digits, dots and hyphens.
bool IsDnsName(const std::string& name) {
  return !name.empty() && name.size() < 254 && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
  });
}

bool ParseIpv4(const std::string& text, unsigned char bytes[4]) {
  unsigned parts[4];
  char end = 0;
  if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3],
                  &end) != 4) {
    return false;
  }
  for (int i = 0; i < 4; ++i) {
    if (parts[i] > 255) {
      return false;
    }
    bytes[i] = static_cast<unsigned char>(parts[i]);
  }
  return true;
}

// Writes through a temporary file that then replaces `path` in one step.
bool ReplaceFile(const std::string& path, const std::string& bytes, bool ownerOnly,
                 std::string* error) {
  const std::string temporary = path + kTemporarySuffix;
  RemoveFile(temporary);  // left by a run that stopped half-way
  bool written = false;
  if (ownerOnly) {
    written = WriteOwnerOnlyFile(temporary, bytes, error);
  } else if (std::FILE* file = OpenFile(temporary, "wb")) {
    written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    written = std::fclose(file) == 0 && written;
    if (!written) {
      *error = LastSystemErrorText();
    }
  } else {
    *error = LastSystemErrorText();
  }
  if (written && !RenameFile(temporary, path)) {
    *error = LastSystemErrorText();
    written = false;
  }
  if (!written) {
    RemoveFile(temporary);
    *error = "The file " + path + " could not be written: " + *error;
  }
  return written;
}

}  // namespace

bool MakeCertificateText(const CertificateNames& names, int64_t notBefore, std::string* keyPem,
                         std::string* certificatePem, std::string* error) {
  if (!StartTlsLibrary()) {
    *error = "The system gave no random numbers to make a key with.";
    return false;
  }
  PrivateKeyParts key;
  int status = mbedtls_pk_setup(&key.key, mbedtls_pk_info_from_type(MBEDTLS_PK_ECKEY));
  if (status == 0) {
    status = mbedtls_ecp_gen_key(MBEDTLS_ECP_DP_SECP256R1, mbedtls_pk_ec(key.key), TlsRandom,
                                 TlsRandomState());
  }
  std::vector<unsigned char> buffer(16384);
  if (status == 0) {
    status = mbedtls_pk_write_key_pem(&key.key, buffer.data(), buffer.size());
  }
  if (status != 0) {
    *error = "No key could be made (error " + MbedtlsErrorCode(status) + ").";
    return false;
  }
  *keyPem = reinterpret_cast<const char*>(buffer.data());

  // The subject alternative names, as the list mbedTLS writes from; the
  // nodes point into `ipBytes` and `names`, which outlive the writing.
  std::vector<mbedtls_x509_san_list> list(names.dnsNames.size() + names.ipAddresses.size());
  std::vector<std::array<unsigned char, 4>> ipBytes(names.ipAddresses.size());
  size_t used = 0;
  for (const std::string& name : names.dnsNames) {
    mbedtls_x509_san_list& node = list[used++];
    node = {};
    node.node.type = MBEDTLS_X509_SAN_DNS_NAME;
    node.node.san.unstructured_name.p =
        reinterpret_cast<unsigned char*>(const_cast<char*>(name.data()));
    node.node.san.unstructured_name.len = name.size();
  }
  for (size_t i = 0; i < names.ipAddresses.size(); ++i) {
    if (!ParseIpv4(names.ipAddresses[i], ipBytes[i].data())) {
      continue;
    }
    mbedtls_x509_san_list& node = list[used++];
    node = {};
    node.node.type = MBEDTLS_X509_SAN_IP_ADDRESS;
    node.node.san.unstructured_name.p = ipBytes[i].data();
    node.node.san.unstructured_name.len = 4;
  }
  for (size_t i = 0; i + 1 < used; ++i) {
    list[i].next = &list[i + 1];
  }

  unsigned char serial[16];
  status = TlsRandom(TlsRandomState(), serial, sizeof serial);
  // A positive number of full length: the top bit clear, the next one set.
  serial[0] = static_cast<unsigned char>((serial[0] & 0x7F) | 0x40);

  mbedtls_asn1_sequence serverAuth{};
  serverAuth.buf.tag = MBEDTLS_ASN1_OID;
  serverAuth.buf.p = reinterpret_cast<unsigned char*>(const_cast<char*>(MBEDTLS_OID_SERVER_AUTH));
  serverAuth.buf.len = MBEDTLS_OID_SIZE(MBEDTLS_OID_SERVER_AUTH);

  const std::string commonName = names.dnsNames.size() > 1 ? names.dnsNames[1] : "localhost";
  const std::string distinguishedName = "CN=" + commonName + ",O=" + kProductName;
  mbedtls_x509write_cert certificate;
  mbedtls_x509write_crt_init(&certificate);
  mbedtls_x509write_crt_set_version(&certificate, MBEDTLS_X509_CRT_VERSION_3);
  mbedtls_x509write_crt_set_md_alg(&certificate, MBEDTLS_MD_SHA256);
  mbedtls_x509write_crt_set_subject_key(&certificate, &key.key);
  mbedtls_x509write_crt_set_issuer_key(&certificate, &key.key);
  const int64_t notAfter = notBefore + kMadeCertificateDays * kSecondsPerDay;
  // It is the server's own certificate, not an authority: browsers refuse a
  // server certificate that says it may sign others.
  if (status == 0)
    status = mbedtls_x509write_crt_set_serial_raw(&certificate, serial, sizeof serial);
  if (status == 0)
    status = mbedtls_x509write_crt_set_subject_name(&certificate, distinguishedName.c_str());
  if (status == 0)
    status = mbedtls_x509write_crt_set_issuer_name(&certificate, distinguishedName.c_str());
  if (status == 0) {
    status = mbedtls_x509write_crt_set_validity(&certificate, X509TimeText(notBefore).c_str(),
                                                X509TimeText(notAfter).c_str());
  }
  if (status == 0) status = mbedtls_x509write_crt_set_basic_constraints(&certificate, 0, -1);
  if (status == 0) status = mbedtls_x509write_crt_set_ext_key_usage(&certificate, &serverAuth);
  if (status == 0 && used > 0) {
    status = mbedtls_x509write_crt_set_subject_alternative_name(&certificate, list.data());
  }
  if (status == 0) {
    status = mbedtls_x509write_crt_pem(&certificate, buffer.data(), buffer.size(), TlsRandom,
                                       TlsRandomState());
  }
  mbedtls_x509write_crt_free(&certificate);
  if (status != 0) {
    *error = "No certificate could be made (error " + MbedtlsErrorCode(status) + ").";
    return false;
  }
  *certificatePem = reinterpret_cast<const char*>(buffer.data());
  return true;
}

std::vector<std::string> CertificateNames::SubjectAltNames() const {
  std::set<std::string> all;
  for (const std::string& name : dnsNames) {
    all.insert("DNS:" + name);
  }
  for (const std::string& address : ipAddresses) {
    all.insert("IP:" + address);
  }
  return {all.begin(), all.end()};
}

CertificateNames CurrentCertificateNames() {
  CertificateNames names;
  names.dnsNames.push_back("localhost");
  const std::string host = LocalHostName();
  if (IsDnsName(host) && host != "localhost") {
    names.dnsNames.push_back(host);
  }
  std::set<std::string> addresses{"127.0.0.1"};
  for (const std::string& address : LocalIpv4Addresses()) {
    addresses.insert(address);
  }
  names.ipAddresses.assign(addresses.begin(), addresses.end());
  return names;
}

bool MakeCertificate(const std::string& folder, const CertificateNames& names, int64_t notBefore,
                     std::string* error) {
  std::string keyPem;
  std::string certificatePem;
  // The key goes first: a stop between the two leaves a pair that does not
  // match, which the next start replaces.
  return MakeCertificateText(names, notBefore, &keyPem, &certificatePem, error) &&
         ReplaceFile(JoinPath(folder, kMadeKeyFile), keyPem, true, error) &&
         ReplaceFile(JoinPath(folder, kMadeCertificateFile), certificatePem, false, error);
}

MadeCertificateResult EnsureMadeCertificate(const std::string& folder,
                                            const CertificateNames& names, int64_t now) {
  MadeCertificateResult result;
  result.certificateFile = JoinPath(folder, kMadeCertificateFile);
  result.keyFile = JoinPath(folder, kMadeKeyFile);
  const bool haveCertificate = IsFile(result.certificateFile);
  const bool haveKey = IsFile(result.keyFile);
  if (haveCertificate || haveKey) {
    ServerCredentialsResult existing =
        LoadServerCredentials(result.certificateFile, result.keyFile, now);
    if (existing.credentials &&
        existing.credentials->chain().SubjectAltNames() == names.SubjectAltNames()) {
      result.action = MadeCertificateAction::Kept;
      return result;
    }
    result.message = existing.credentials
                         ? "The names of this machine changed since the certificate " +
                               result.certificateFile + " was made."
                         : existing.error;
    for (const std::string& file : {result.certificateFile, result.keyFile}) {
      if (IsFile(file) && !RenameFile(file, file + kReplacedSuffix)) {
        result.message = "The file " + file + " could not be renamed to " + file + kReplacedSuffix +
                         ": " + LastSystemErrorText();
        return result;
      }
    }
  }
  std::string error;
  if (!MakeCertificate(folder, names, now, &error)) {
    result.message = error;
    return result;
  }
  result.action =
      haveCertificate || haveKey ? MadeCertificateAction::Renewed : MadeCertificateAction::Made;
  return result;
}
