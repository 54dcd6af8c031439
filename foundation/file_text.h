#pragma once

#include <cstdint>
#include <string>

// Whole-file helpers in binary mode: "\r\n" pairs are kept exactly.

// The bytes from `offset` to the end, cut at the first NUL; "" when the file
// cannot be opened or the offset is at or past its end.
std::string ReadFileText(const std::string& path, uint64_t offset);
// Creates or truncates the file and writes the text up to its first NUL.
bool WriteFileText(const std::string& path, const std::string& text);
// Appends the text up to its first NUL, creating the file when needed.
bool AppendFileText(const std::string& path, const std::string& text);
