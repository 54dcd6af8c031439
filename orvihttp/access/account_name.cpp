#include "orvihttp/access/account_name.h"

#include <cctype>
#include <cstdint>

namespace {

constexpr std::size_t kLongestAccountName = 64;

bool SameWordIgnoringCase(const std::string& name, const char* word) {
  std::size_t i = 0;
  for (; word[i] != '\0'; ++i) {
    if (i >= name.size() || std::tolower(static_cast<unsigned char>(name[i])) != word[i]) {
      return false;
    }
  }
  return i == name.size();
}

// Well-formed UTF-8 without overlong forms or surrogates, so that a name
// shows the same in every window and log.
bool IsUtf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    int extra = 0;
    uint32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    static const uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    i += extra + 1;
  }
  return true;
}

bool Refuse(std::string* why, const char* reason) {
  if (why) *why = reason;
  return false;
}

}  // namespace

bool IsValidAccountName(const std::string& name, std::string* why) {
  if (name.empty()) return Refuse(why, "an account name cannot be empty");
  if (name.size() > kLongestAccountName) {
    return Refuse(why, "an account name can have at most 64 bytes");
  }
  for (char c : name) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      return Refuse(why, "an account name cannot hold control characters");
    }
    if (c == ' ' || c == ':' || c == ',') {
      return Refuse(why, "an account name cannot hold spaces, \":\" or \",\"");
    }
  }
  if (!IsUtf8(name)) return Refuse(why, "an account name must be UTF-8 text");
  if (SameWordIgnoringCase(name, kEveryoneHolder) || SameWordIgnoringCase(name, kAccountsHolder) ||
      SameWordIgnoringCase(name, kInheritWord)) {
    return Refuse(why,
                  "\"everyone\", \"accounts\" and \"inherit\" are words of the rights, not "
                  "account names");
  }
  return true;
}
