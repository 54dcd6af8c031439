#pragma once

#include <string>

// Fills the settings store for a start in `folder`: the run-time entries
// (`InstallPath`, `BinLogPath`), then the
// persistent defaults in their fixed order, then OrviHTTP.ini over them.
void LoadServerConfiguration(const std::string& folder);

// Writes the persistent entries to OrviHTTP.ini in `folder`.
void SaveServerConfiguration(const std::string& folder);

// OrviHTTP.ini, OrviHTTP.dir and the help page inside `folder`.
std::string IniFilePath(const std::string& folder);
std::string DirFilePath(const std::string& folder);
std::string HelpPagePath(const std::string& folder);
