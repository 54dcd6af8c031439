#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

// What an upload needs to know about the disk it writes to.

// The bytes this process may still write on the disk that holds `folder`;
// nothing when the system cannot tell.
std::optional<uint64_t> FreeDiskBytes(const std::string& folder);
// Everything written to `file` so far is on the disk, not only in a cache,
// before it is given its real name: a crash then never leaves a short file
// under that name. False when the system reports a failure.
bool FlushFileToDisk(std::FILE* file);
