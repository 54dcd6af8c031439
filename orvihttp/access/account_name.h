#pragma once

#include <string>

// Who may be given a right on a folder: everyone, any signed-in account, or
// accounts by name. The two words are kept for the groups, so no account may
// take either name.
inline constexpr char kEveryoneHolder[] = "everyone";
inline constexpr char kAccountsHolder[] = "accounts";
inline constexpr char kInheritWord[] = "inherit";

// True when `name` can name an account: 1 to 64 bytes of UTF-8 without
// control characters, spaces, ":" (it ends the name in a Basic credential and
// in the users file) or "," (it separates names in a right), and none of
// the group words above nor "inherit" (which unsets a right in orvihttp-dir)
// in any letter case. Otherwise false, with the reason in `*why` when it is
// given.
bool IsValidAccountName(const std::string& name, std::string* why = nullptr);
