#pragma once

#include <string>

// The openssl command-line tool, which checks what the TLS module writes and
// speaks to its sessions as an independent implementation. Linux only: the
// Windows build's tests under Wine cannot start it, and skip those checks.

// True when `openssl version` runs here.
bool OpensslReachable();
// Runs `openssl <arguments>` and returns its output and error output.
std::string RunOpenssl(const std::string& arguments, int* exitCode = nullptr);
