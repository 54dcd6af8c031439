#pragma once

#include <string>

// The system's own words for why the last system call of this thread failed
// (the Windows error message, or the C library's text for errno on Linux),
// without a trailing line break. Call it right after the failing call, before
// anything else can change the error.
std::string LastSystemErrorText();
