#pragma once

#include <optional>
#include <string>

// A name and password as a client sends them in "Authorization: Basic ...".
struct BasicCredentials {
  std::string name;
  std::string password;
};

// The credentials of an Authorization header's value; nothing for another
// scheme, a token that is not base64, or one without ":" between the name
// and the password.
std::optional<BasicCredentials> ParseBasicAuthorization(const std::string& value);

// The challenge a 401 carries, so browsers and tools know to send a name and
// password, and in which encoding.
inline constexpr char kBasicChallenge[] = "Basic realm=\"Orvi HTTP Server\", charset=\"UTF-8\"";
