#include "orvihttp/http/error_response.h"

#include "orvihttp/config/product_identity.h"
#include "orvihttp/http/header_fields.h"
#include "orvihttp/http/http_date.h"

namespace {

std::string Page(const std::string& title, const std::string& heading, const std::string& text,
                 int port) {
  return "<html>\r\n<head>\r\n<title>" + title + "</title>\r\n</head>\r\n<body>\r\n<h1>" + heading +
         "</h1>\r\n" + text + "\r\n<hr><i>" + kServerBanner + " at port " + std::to_string(port) +
         ".</body></html>";
}

}  // namespace

std::string StatusLine(int code) {
  return "HTTP/1.1 " + std::to_string(code) + "\r\n";
}

ErrorResponse BuildErrorResponse(int code, int port) {
  return BuildErrorResponseWithDate(code, port, CurrentHttpDate());
}

ErrorResponse BuildErrorResponseWithDate(int code, int port, const std::string& dateText) {
  ErrorResponse response;
  HeaderFields fields;
  switch (code) {
    case 403:
      response.body = Page("403 Forbidden", "Forbidden",
                           "You do not have access to the requested URL on this server.", port);
      fields.contentType = "text/html";
      break;
    case 404:
      response.body = Page("404 Page not found", "Page not found",
                           "The requested URL was not found on this server.", port);
      fields.contentType = "text/html";
      break;
    case 400:
      response.body = "400 Bad request";
      break;
    case 500:
      response.body = "500 Internal server error";
      break;
    case 501:
      response.body = "501 Not implemented";
      break;
    case 505:
      response.body = "505 HTTP version not supported";
      break;
    default:
      break;
  }
  fields.contentLength = static_cast<int64_t>(response.body.size());
  response.head = StatusLine(code) + fields.BuildHeaderBlockWithDate(dateText);
  return response;
}
