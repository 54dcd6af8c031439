#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "orvihttp/http/ip_blacklist.h"

// What the Settings page does besides moving values between controls and its
// working copy of the settings.

// Adds a typed address to the live blacklist. An empty text or "0.0.0.0"
// (what an untouched address field yields) adds nothing, nor does an address
// that is listed already. True when the list grew.
bool AddTypedAddressToBlacklist(IpBlacklist& blacklist, const std::string& text);

// The blacklist box is rebuilt only when its line count no longer matches the
// list.
bool BlacklistBoxIsStale(std::size_t linesShown, const std::vector<std::string>& blacklist);

// "Offer folders as .zip" can be ticked only while listings are served: an
// archive names every file as a listing does, so it comes only with them.
inline bool FolderArchivesBoxEnabled(bool dirView) {
  return dirView;
}

// "Keep PHP running (faster)" can be ticked only while PHP is enabled: with
// PHP off no program runs, kept or not.
inline bool PhpModeBoxEnabled(bool phpEnable) {
  return phpEnable;
}

// The question asked before an address is taken off the blacklist.
std::string UnbanQuestion(const std::string& address);

// The PHP program inside a chosen folder: the folder's php-cgi.exe, when such
// a file is there and can be opened for reading.
std::optional<std::string> PhpProgramIn(const std::string& folder);

// What the page says when the chosen folder has no PHP program.
inline constexpr char kNoPhpProgramText[] =
    "php-cgi.exe could not be found in that directory!\r\n"
    "Please ensure that you selected the PHP installation directory!";
