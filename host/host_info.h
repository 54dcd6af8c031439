#pragma once

#include <string>

// "Trellan v2.0.2": the window title, the default tray tip and the About box's
// first line.
std::string HostTitle();
