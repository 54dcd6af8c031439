#pragma once

#include <string>

// Writes a new file that only the current user may read or change: mode 0600
// on Linux; on Windows an access list that grants the current user alone
// full access and inherits nothing from the folder. The file must not exist
// yet; it is made with these permissions from the start, so there is no
// moment at which others could open it. False, with the system's reason in
// `*error`, when it could not be done.
bool WriteOwnerOnlyFile(const std::string& path, const std::string& bytes, std::string* error);
