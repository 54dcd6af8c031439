#pragma once

#include <string>

// Hands a URL to the desktop's default handler (the shell's "open" on
// Windows, xdg-open elsewhere) and returns at once, without waiting for the
// browser. False when it could not be handed over.
bool OpenUrl(const std::string& url);
