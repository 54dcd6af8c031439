#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "orvihttp/content/response.h"

class PhpProcessPool;

// Scripts run by the PHP CGI program: the request's query goes on its command
// line, and whatever the program prints is the response body, unchanged.

// Output a script may print before the answer starts: a run that ends
// within it is answered with a Content-Length like any page; a longer one
// is streamed until the script ends, without a length, and the connection
// closes after it. This bounds what one run holds in memory.
inline constexpr std::size_t kPhpReadAhead = 1024 * 1024;

// The wall-clock time a script may run. Past it the program is ended; the
// client gets 504 when nothing was sent yet, else the connection closes.
inline constexpr uint32_t kPhpTimeLimitMs = 60 * 1000;

// How long a request waits for one of the PHP child slots
// (php_child_slots.h) before it is answered 503.
inline constexpr uint32_t kPhpSlotWaitMs = 5 * 1000;

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

// Runs the script at `realPath` through the program at `phpPath` with the
// request's `query` (or POST body) as arguments: 200 with the output, 400 for a query the command
// line must not carry, 500 when the program cannot be started, 503 when no child slot came free in
// time, 504 when the script printed too little before its time was up. With `fastCgiPool` the
// script runs in one of the pool's programs, over FastCGI, with the query as its query string;
// the answer is the same, and 502 when the program went away before the page was complete. Nothing
// when the thread is being stopped meanwhile, since nobody waits for the answer then. `port` is the
// configured one that error pages name. A request that came over HTTPS on `httpsPort` (not 0) runs
// the script with HTTPS=on and SERVER_PORT set to it, as scripts look for them.
std::optional<Response> PhpGateway(const std::string& phpPath, const std::string& realPath,
                                   const std::string& query, int port, int httpsPort = 0,
                                   PhpProcessPool* fastCgiPool = nullptr);

// For tests: the time limit of a script's run (0: the default again).
void SetPhpTimeLimitForTesting(uint32_t milliseconds);
