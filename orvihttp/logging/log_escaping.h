#pragma once

#include <string>

// A request line as the logs may show it: a client chooses those bytes, so
// control bytes (below 0x20 and 0x7F), the double quote and the backslash
// become \xHH (two upper-case hex digits). A forged line end, a quote that
// closes the log's field early or a terminal escape sequence then stays
// visible text. Every other byte is kept as it is.
std::string EscapeForLog(const std::string& text);
// The same, appended to `out`.
void AppendEscapedForLog(const std::string& text, std::string& out);
