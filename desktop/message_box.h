#pragma once

#include <string>

// Message boxes of the system. On Linux they go to standard error and are
// answered with OK.
enum class MessageIcon { None, Warning, Information };

void ShowMessageBox(const std::string& text, const std::string& caption, MessageIcon icon);

// The warning box, in the shape a failure report of the lower layers takes
// (see StartupFailureReport).
void ShowWarningBox(const std::string& text, const std::string& caption);
