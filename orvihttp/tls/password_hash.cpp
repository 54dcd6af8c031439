#include "orvihttp/tls/password_hash.h"

#include <mbedtls/base64.h>
#include <mbedtls/md.h>
#include <mbedtls/pkcs5.h>
#include <mbedtls/platform_util.h>
// This one header of mbedTLS lacks the C linkage guard the others have.
extern "C" {
#include <mbedtls/constant_time.h>
}

#include <algorithm>
#include <mutex>
#include <optional>
#include <vector>

#include "orvihttp/tls/tls_random.h"

namespace {

constexpr char kScheme[] = "pbkdf2-sha256";
constexpr size_t kSaltBytes = 16;
constexpr size_t kHashBytes = 32;
// The generator hands out at most this much per call.
constexpr size_t kLargestRandomRequest = 1024;

struct ParsedHash {
  uint32_t iterations = 0;
  std::string salt;
  std::string hash;
};

bool Refuse(std::string* why, const char* reason) {
  if (why) *why = reason;
  return false;
}

std::string Base64(const std::string& bytes) {
  std::vector<unsigned char> text(4 * ((bytes.size() + 2) / 3) + 1);
  size_t length = 0;
  if (mbedtls_base64_encode(text.data(), text.size(), &length,
                            reinterpret_cast<const unsigned char*>(bytes.data()),
                            bytes.size()) != 0) {
    return std::string();
  }
  return std::string(reinterpret_cast<const char*>(text.data()), length);
}

// Only the text Base64() writes for some bytes is taken: no spaces, line
// breaks or other spellings of the same bytes, so a hash always reads back
// and writes back the same.
std::optional<std::string> FromBase64(const std::string& text) {
  if (text.empty()) return std::nullopt;
  std::vector<unsigned char> bytes(text.size());
  size_t length = 0;
  if (mbedtls_base64_decode(bytes.data(), bytes.size(), &length,
                            reinterpret_cast<const unsigned char*>(text.data()),
                            text.size()) != 0) {
    return std::nullopt;
  }
  std::string decoded(reinterpret_cast<const char*>(bytes.data()), length);
  if (Base64(decoded) != text) return std::nullopt;
  return decoded;
}

std::optional<uint32_t> Iterations(const std::string& text) {
  // Eight digits already pass the most allowed; no sign and no leading zero,
  // so the count has one spelling.
  if (text.empty() || text.size() > 8 || text[0] == '0') return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  return value;
}

std::optional<ParsedHash> Parse(const std::string& storedHash, std::string* why) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t end = storedHash.find('$', start);
    fields.push_back(storedHash.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (fields[0] != kScheme) {
    Refuse(why, "the hash does not begin with \"pbkdf2-sha256$\"");
    return std::nullopt;
  }
  if (fields.size() != 4) {
    Refuse(why, "the hash must have four fields separated by \"$\"");
    return std::nullopt;
  }
  ParsedHash parsed;
  std::optional<uint32_t> iterations = Iterations(fields[1]);
  if (!iterations || *iterations < kFewestPasswordHashIterations ||
      *iterations > kMostPasswordHashIterations) {
    Refuse(why, "the iteration count must be a number from 1000 to 10000000");
    return std::nullopt;
  }
  parsed.iterations = *iterations;
  std::optional<std::string> salt = FromBase64(fields[2]);
  if (!salt || salt->size() != kSaltBytes) {
    Refuse(why, "the salt must be 16 bytes in base64");
    return std::nullopt;
  }
  parsed.salt = *salt;
  std::optional<std::string> hash = FromBase64(fields[3]);
  if (!hash || hash->size() != kHashBytes) {
    Refuse(why, "the hash must be 32 bytes in base64");
    return std::nullopt;
  }
  parsed.hash = *hash;
  return parsed;
}

bool Derive(const std::string& password, const std::string& salt, uint32_t iterations,
            unsigned char (&out)[kHashBytes]) {
  return mbedtls_pkcs5_pbkdf2_hmac_ext(
             MBEDTLS_MD_SHA256, reinterpret_cast<const unsigned char*>(password.data()),
             password.size(), reinterpret_cast<const unsigned char*>(salt.data()), salt.size(),
             iterations, kHashBytes, out) == 0;
}

}  // namespace

std::string MakePasswordHash(const std::string& password, uint32_t iterations) {
  if (iterations < kFewestPasswordHashIterations || iterations > kMostPasswordHashIterations) {
    return std::string();
  }
  std::string salt(kSaltBytes, '\0');
  if (!RandomBytes(salt.data(), salt.size())) return std::string();
  unsigned char hash[kHashBytes];
  if (!Derive(password, salt, iterations, hash)) return std::string();
  std::string text = std::string(kScheme) + "$" + std::to_string(iterations) + "$" + Base64(salt) +
                     "$" + Base64(std::string(reinterpret_cast<const char*>(hash), sizeof hash));
  mbedtls_platform_zeroize(hash, sizeof hash);
  return text;
}

bool CheckPasswordHash(const std::string& password, const std::string& storedHash) {
  StartTlsLibrary();  // hashing needs no random numbers, only the started core
  std::optional<ParsedHash> parsed = Parse(storedHash, nullptr);
  if (!parsed) return false;
  unsigned char hash[kHashBytes];
  if (!Derive(password, parsed->salt, parsed->iterations, hash)) return false;
  const bool same = mbedtls_ct_memcmp(hash, parsed->hash.data(), kHashBytes) == 0;
  mbedtls_platform_zeroize(hash, sizeof hash);
  return same;
}

bool IsWellFormedPasswordHash(const std::string& storedHash, std::string* why) {
  return Parse(storedHash, why).has_value();
}

std::string KeyedDigest(const std::string& text) {
  // Drawn on first use; a key that could not be drawn stays unusable rather
  // than falling back to a guessable one.
  static unsigned char key[32];
  static bool ready = false;
  static std::once_flag once;
  std::call_once(once, [] { ready = RandomBytes(key, sizeof key); });
  if (!ready) return std::string();
  unsigned char digest[32];
  if (mbedtls_md_hmac(mbedtls_md_info_from_type(MBEDTLS_MD_SHA256), key, sizeof key,
                      reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                      digest) != 0) {
    return std::string();
  }
  return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}

bool RandomBytes(void* out, size_t length) {
  if (!StartTlsLibrary()) return false;
  unsigned char* bytes = static_cast<unsigned char*>(out);
  while (length > 0) {
    const size_t chunk = std::min(length, kLargestRandomRequest);
    if (TlsRandom(TlsRandomState(), bytes, chunk) != 0) return false;
    bytes += chunk;
    length -= chunk;
  }
  return true;
}

bool ConstantTimeEqual(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  return a.empty() || mbedtls_ct_memcmp(a.data(), b.data(), a.size()) == 0;
}
