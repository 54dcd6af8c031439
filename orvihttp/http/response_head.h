#pragma once

#include <string>
#include <string_view>

#include "orvihttp/content/response.h"

// "HTTP/1.1 " + code + "\r\n": the status line has no reason phrase.
std::string StatusLine(int code);

// The status line and header block that go before a response's body; the
// Date line carries `dateText`.
// `chunked`: the body goes out in chunks, without a length, on a connection
// that stays open. `bodyRoom`: bytes of body that will be appended to the
// head, so that the string has room for them from the start.
std::string ResponseHead(const Response& response, std::string_view dateText, bool chunked = false,
                         std::size_t bodyRoom = 0);
