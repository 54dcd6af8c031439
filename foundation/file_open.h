#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Files of this process are never handed to a child it starts: a script the
// server runs must not hold the log, the settings or another client's
// download open. OpenFile is std::fopen with that guarantee (close-on-exec
// on Linux, not inheritable on Windows); `mode` is a plain fopen mode such as
// "rb", "wb" or "ab".
std::FILE* OpenFile(const std::string& path, const char* mode);

// Moves to `offset` bytes from the start, also past 2 GiB; false when the
// file cannot seek there.
bool SeekFile(std::FILE* file, uint64_t offset);
