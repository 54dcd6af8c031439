#include "orvihttp/content/error_page.h"

#include "orvihttp/config/product_identity.h"

namespace {

std::string Page(const std::string& title, const std::string& heading, const std::string& text,
                 int port) {
  return "<html>\r\n<head>\r\n<title>" + title + "</title>\r\n</head>\r\n<body>\r\n<h1>" + heading +
         "</h1>\r\n" + text + "\r\n<hr><i>" + kServerBanner + " at port " + std::to_string(port) +
         ".</body></html>";
}

}  // namespace

Response ErrorPage(int code, int port) {
  Response response;
  response.status = code;
  switch (code) {
    case 403:
      response.body = Page("403 Forbidden", "Forbidden",
                           "You do not have access to the requested URL on this server.", port);
      response.contentType = "text/html";
      break;
    case 401:
      response.body = Page("401 Unauthorized", "Sign-in needed",
                           "The requested URL is for signed-in accounts only.", port);
      response.contentType = "text/html";
      break;
    case 429:
      response.body = Page("429 Too many sign-in attempts", "Too many sign-in attempts",
                           "Too many wrong passwords came from your address. Try again in 15 "
                           "minutes.",
                           port);
      response.contentType = "text/html";
      break;
    case 404:
      response.body = Page("404 Page not found", "Page not found",
                           "The requested URL was not found on this server.", port);
      response.contentType = "text/html";
      break;
    case 400:
      response.body = "400 Bad request";
      break;
    case 500:
      response.body = "500 Internal server error";
      break;
    case 416:
      response.body = "416 Range not satisfiable";
      break;
    case 501:
      response.body = "501 Not implemented";
      break;
    case 502:
      response.body = "502 Bad gateway";
      break;
    case 503:
      response.body = "503 Service unavailable";
      break;
    case 504:
      response.body = "504 Gateway timeout";
      break;
    case 505:
      response.body = "505 HTTP version not supported";
      break;
    default:
      break;
  }
  return response;
}
