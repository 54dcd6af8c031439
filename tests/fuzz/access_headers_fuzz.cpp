// The request headers that sign a client in: an Authorization value, a
// Cookie list and a posted sign-in form, whatever their bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "orvihttp/access/basic_credentials.h"
#include "orvihttp/access/sign_in_sessions.h"
#include "orvihttp/http/sign_in_exchange.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (std::optional<BasicCredentials> credentials = ParseBasicAuthorization(text)) {
    // The name ends at the first ":", so it never holds one.
    if (credentials->name.find(':') != std::string::npos) __builtin_trap();
  }
  const std::string token = SessionTokenFromCookies(text);
  if (!token.empty() && token.size() != 64) __builtin_trap();
  for (const char* field : {"name", "password", "to"}) {
    if (FormField(text, field).size() > text.size()) __builtin_trap();
  }
  return 0;
}
