#pragma once

#include <optional>
#include <string>

// Base64 as HTTP and stored hashes use it (the standard alphabet, with "="
// padding), through the TLS library's codec.
std::string EncodeBase64(const std::string& bytes);
// Nothing when `text` is not well-formed base64.
std::optional<std::string> DecodeBase64(const std::string& text);
