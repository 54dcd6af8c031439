#pragma once

#include <string>
#include <vector>

// Command lines are one text, as Windows passes them to a new process. These
// helpers follow the rules of the Microsoft C runtime (the one every current
// Windows program is built with), so a child started on Linux sees the same
// arguments it would see on Windows.

// The arguments a program finds in argv for `commandLine`. The program name
// (first word) only knows quotes, which toggle quoting; the other words split
// at unquoted spaces and tabs, where 2n backslashes before a quote give n
// backslashes and a quoting toggle, 2n+1 give n backslashes and a literal
// quote, and two quotes inside a quoted part give one literal quote.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// `argument` in double quotes, escaped so that SplitCommandLine gives it back
// unchanged as one argument (not for the program name). A text without quotes
// and without a trailing backslash is simply put between two quotes.
std::string QuoteCommandLineArgument(const std::string& argument);
