#pragma once

// Lines for whoever watches the program rather than for its user: standard
// error, and on Windows also the debugger's output (a program without a
// console has no standard error to look at).

// Writes `text` and a line end. Allocates nothing, so it also works when
// memory has run out.
void WriteDebugLine(const char* text) noexcept;

// Only inside a catch block: writes one line naming `where` the exception
// was stopped and, for a std::exception, its what().
void ReportUncaughtException(const char* where) noexcept;
