#pragma once

#include <string>

// "HTTP/1.1 " + code + "\r\n": the status line has no reason phrase.
std::string StatusLine(int code);

// The complete bytes of a status-only response: status line and header
// block (`head`), and the small fixed page (`body`). The 403 and 404 pages
// name the port the server is set to.
struct ErrorResponse {
  std::string head;
  std::string body;
};
ErrorResponse BuildErrorResponse(int code, int port);
ErrorResponse BuildErrorResponseWithDate(int code, int port, const std::string& dateText);
