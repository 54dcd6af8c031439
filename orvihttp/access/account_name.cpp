#include "orvihttp/access/account_name.h"

#include <cctype>
#include <cstdint>

#include "foundation/text_basics.h"

namespace {

constexpr std::size_t kLongestAccountName = 64;

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
  if (!IsWellFormedUtf8(name)) return Refuse(why, "an account name must be UTF-8 text");
  if (IsWordIgnoringCase(name, kEveryoneHolder) || IsWordIgnoringCase(name, kAccountsHolder) ||
      IsWordIgnoringCase(name, kInheritWord)) {
    return Refuse(why,
                  "\"everyone\", \"accounts\" and \"inherit\" are words of the rights, not "
                  "account names");
  }
  return true;
}
