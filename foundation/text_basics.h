#pragma once

#include <string>
#include <string_view>

// Small text helpers that names, rules and headers share: UTF-8 checked and
// folded to Latin-1, ASCII letter case.

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

// `name` in Latin-1 when it is valid UTF-8 whose characters all lie below
// U+0100; otherwise unchanged. The server decodes URLs into Latin-1 bytes
// and its pages declare ISO-8859-1, so a name is best kept in Latin-1.
std::string Utf8NameToLatin1(const std::string& name);
