#include "orvihttp/http/error_response.h"

#include "orvihttp/content/error_page.h"

ErrorResponse BuildErrorResponseWithDate(int code, int port, const std::string& dateText) {
  Response page = ErrorPage(code, port);
  ErrorResponse response;
  response.head = ResponseHead(page, dateText);
  response.body = std::move(page.body);
  return response;
}
