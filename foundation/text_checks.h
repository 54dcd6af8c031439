#pragma once

#include <string>
#include <string_view>

// Small checks on text that names, rules and headers share.

// Well-formed UTF-8 without overlong forms or surrogates, so that a name
// shows the same in every window, file and log.
bool IsWellFormedUtf8(std::string_view text);

// `c` in lower case when it is an ASCII capital; every other byte as it is,
// whatever the C library's locale says.
inline char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// `text` in lower case, ASCII letters only.
std::string AsciiLowerCase(std::string text);

// True when `text` is `lowerWord` (given in lower case) in any ASCII letter
// case.
bool IsWordIgnoringCase(std::string_view text, std::string_view lowerWord);
