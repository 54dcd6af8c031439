#pragma once

#include <string>

// The few things the tool needs from the system.

// Standard output and error pass bytes unchanged (no "\r" added on Windows).
void UseBinaryStandardOutput();
// `path` made absolute against the current folder (Windows: also with "\"
// separators and "." and ".." resolved).
std::string AbsolutePath(const std::string& path);
// Puts `from` in the place of `to` in one step, replacing what was there.
bool MoveIntoPlace(const std::string& from, const std::string& to);
