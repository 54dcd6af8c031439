#pragma once

#include <optional>
#include <string>

// Standard input, output and error pass bytes unchanged from here on (the
// Windows C runtime starts them in text mode, which adds and drops "\r").
void UseBinaryStandardStreams();

// One line of standard input without its line end ("\n" or "\r\n"); nothing
// when the input ended before a single byte. When a person types it at a
// terminal (a console window on Windows), `prompt` is shown on standard error
// first and the typing is not echoed, so a password stays off the screen;
// from a pipe or a file the line is read as it comes and no prompt is shown.
// A console's typing arrives as UTF-8.
std::optional<std::string> ReadSecretLine(const std::string& prompt);

// True when standard input is a terminal or console window.
bool StandardInputIsTerminal();
