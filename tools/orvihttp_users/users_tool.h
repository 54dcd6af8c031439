#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Gives the next password line, showing `prompt` when someone types it;
// nothing at the end of the input.
using PasswordReader = std::function<std::optional<std::string>(const std::string& prompt)>;

// The orvihttp-users command line: `arguments` without the program name.
// Passwords come from `readPassword`, asked for twice when `typed` (a person
// at a terminal cannot see a typing mistake). Fills `out` and `err` with what
// goes to standard output and standard error, and returns the exit code: 0
// done, 1 refused or failed (the file is left as it was), 2 wrong arguments
// (with the usage text).
int RunUsersTool(const std::vector<std::string>& arguments, const PasswordReader& readPassword,
                 bool typed, std::string& out, std::string& err);

extern const char kUsersToolUsage[];
