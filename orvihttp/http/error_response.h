#pragma once

#include <string>

#include "orvihttp/http/response_head.h"

// The complete bytes of a status-only response: status line and header
// block (`head`), and the small fixed page (`body`).
struct ErrorResponse {
  std::string head;
  std::string body;
};
ErrorResponse BuildErrorResponseWithDate(int code, int port, const std::string& dateText);
