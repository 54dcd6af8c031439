#include "orvihttp/tls/base64_text.h"

#include <mbedtls/base64.h>

std::string EncodeBase64(const std::string& bytes) {
  std::string text((bytes.size() + 2) / 3 * 4 + 1, '\0');
  std::size_t length = 0;
  if (mbedtls_base64_encode(reinterpret_cast<unsigned char*>(text.data()), text.size(), &length,
                            reinterpret_cast<const unsigned char*>(bytes.data()),
                            bytes.size()) != 0) {
    return "";
  }
  text.resize(length);
  return text;
}

std::optional<std::string> DecodeBase64(const std::string& text) {
  std::string bytes(text.size() / 4 * 3 + 3, '\0');
  std::size_t length = 0;
  if (mbedtls_base64_decode(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), &length,
                            reinterpret_cast<const unsigned char*>(text.data()),
                            text.size()) != 0) {
    return std::nullopt;
  }
  bytes.resize(length);
  return bytes;
}
