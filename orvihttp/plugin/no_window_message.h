#pragma once

#include <string>

// What "Settings..." says on a build without a settings window: there is no
// window, which file to edit instead (OrviHTTP.ini in `installPath`) and the
// tool that edits the virtual directory. One line, ending in a newline.
std::string NoWindowMessage(const std::string& installPath);
