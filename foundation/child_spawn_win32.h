#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// Starts `commandLine` without a console, with the given standard handles
// and `extraEnvironment` ("NAME=value") in the server's own environment. The
// child inherits the `count` handles of `inherited` and nothing else: not
// the sockets, logs or files that other connections have open at that
// moment. False when it did not start.
bool StartChildProcess(const std::string& commandLine,
                       const std::vector<std::string>& extraEnvironment, HANDLE input,
                       HANDLE output, HANDLE error, HANDLE* inherited, std::size_t count,
                       PROCESS_INFORMATION* process);
