#pragma once

#include <string>

// True when a PHPMode value asks for PHP programs kept running: "FastCGI" in
// any letter case, since a hand-edited OrviHTTP.ini may spell it either way.
// Anything else, an absent entry too, runs one program per request.
bool PhpModeIsFastCgi(const std::string& phpMode);
