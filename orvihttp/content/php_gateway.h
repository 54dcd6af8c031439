#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "orvihttp/content/response.h"

// Scripts run by the PHP CGI program: the request's query goes on its command
// line, and whatever the program prints is the response body, unchanged.

// The most output one run may produce; a script that goes on printing past
// it is answered 500 instead of filling the server's memory.
inline constexpr std::size_t kMaxPhpOutput = 64 * 1024 * 1024;

// `phpPath` -f "realPath", then " -- " and the query when there is one. The
// request can only add words after " -- ": nothing (the request is to be
// refused) when the query holds a byte of 0x80 or above or a 0 byte, or when
// the line would be longer than the platform can start. A program path with
// blanks is put in quotes so it stays one word.
std::optional<std::string> BuildPhpCommandLine(const std::string& phpPath,
                                               const std::string& realPath,
                                               const std::string& query);

// True for a URL name whose text after its last "." begins with "php"
// (case-sensitive: also .php3 and .phps).
bool IsPhpScriptName(const std::string& name);

// Runs the script at `realPath` with the request's `query` (or POST body) as
// arguments: 200 with the output, 400 for a query the command line must not
// carry, 500 when the program cannot be started. Nothing when the thread is
// being stopped meanwhile, since nobody waits for the answer then.
std::optional<Response> PhpGateway(const std::string& realPath, const std::string& query);
