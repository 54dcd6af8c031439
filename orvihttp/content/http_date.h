#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// "Sun, 06 Dec 2026 01:15:29 GMT" for a time in seconds since 1970 (UTC), as
// the Date and Last-Modified headers carry it.
std::string FormatHttpDate(int64_t secondsSince1970);
// The same for the current time.
std::string CurrentHttpDate();
// The same as a view of this thread's copy, good until its next call: what
// every answer's Date line takes.
std::string_view CurrentHttpDateView();

// Seconds since 1970 (UTC) of a date a client sent, in any of the three forms
// clients use: "Sun, 06 Nov 1994 08:49:37 GMT", the older
// "Sunday, 06-Nov-94 08:49:37 GMT" and "Sun Nov  6 08:49:37 1994". A
// "; length=..." tail some old browsers add is ignored. Nothing when the
// text is none of these or names no real day.
std::optional<int64_t> ParseHttpDate(const std::string& text);
