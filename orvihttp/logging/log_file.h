#pragma once

#include <string>

#include "orvihttp/logging/server_logs.h"

// Appends `bytes` to the log `which` (OpenLogs::access or OpenLogs::binary)
// of `logs` at `path` with one write, the file kept open from one call to
// the next. The file is opened afresh (and created) when `path` is not the
// path it was opened under, or when it was deleted or renamed away
// meanwhile. Empty `bytes` only open the file. False when it cannot be
// opened or written; the caller loses the bytes silently.
bool AppendToLog(ServerLogs& logs, OpenLog OpenLogs::*which, const std::string& path,
                 const std::string& bytes);
