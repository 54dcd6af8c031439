#include "orvihttp/access/basic_credentials.h"

#include <cctype>

#include "orvihttp/tls/base64_text.h"

namespace {

// A credential is a few hundred bytes at most; a longer one is refused before
// it is decoded.
constexpr std::size_t kLongestToken = 4096;

}  // namespace

std::optional<BasicCredentials> ParseBasicAuthorization(const std::string& value) {
  std::size_t at = 0;
  while (at < value.size() && (value[at] == ' ' || value[at] == '\t')) ++at;
  static const char kScheme[] = "basic";
  for (const char* letter = kScheme; *letter != '\0'; ++letter, ++at) {
    if (at >= value.size() || std::tolower(static_cast<unsigned char>(value[at])) != *letter) {
      return std::nullopt;
    }
  }
  if (at >= value.size() || (value[at] != ' ' && value[at] != '\t')) return std::nullopt;
  while (at < value.size() && (value[at] == ' ' || value[at] == '\t')) ++at;
  std::size_t end = value.size();
  while (end > at && (value[end - 1] == ' ' || value[end - 1] == '\t')) --end;
  const std::string token = value.substr(at, end - at);
  if (token.empty() || token.size() > kLongestToken) return std::nullopt;
  std::optional<std::string> decoded = DecodeBase64(token);
  if (!decoded) return std::nullopt;
  const std::size_t colon = decoded->find(':');
  if (colon == std::string::npos) return std::nullopt;
  return BasicCredentials{decoded->substr(0, colon), decoded->substr(colon + 1)};
}
