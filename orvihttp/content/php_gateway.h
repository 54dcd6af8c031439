#pragma once

#include <cstddef>
#include <optional>
#include <string>

class Connection;

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

// Runs the script at `realPath` for the connection's request (query or POST
// body as arguments) and answers it: 200 with the output, 400 for a query the
// command line must not carry, 500 when the program cannot be started.
void PhpGateway(Connection& connection, const std::string& realPath);
