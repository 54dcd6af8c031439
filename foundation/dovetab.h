#pragma once

#include <functional>
#include <string>
#include <vector>

#include "foundation/settings.h"

// The Dovetab v2 text format of Trellan.ini and OrviHTTP.ini.
namespace dovetab {

inline constexpr char kHeader[] = "# Dovetab v2\r\n\r\n";

// Parses `text` and calls `apply` for every well-formed entry line, in file
// order. A text without the header yields nothing.
void Parse(const std::string& text, const std::function<void(const Setting&)>& apply);

// The whole file text for `entries` (persistent flag not consulted).
std::string Write(const std::vector<Setting>& entries);

// One value as written after " = ".
std::string FormatValue(const Setting& entry);

}  // namespace dovetab
