#include "orvihttp/content/sign_in_page.h"

#include "orvihttp/config/product_identity.h"
#include "orvihttp/content/url_escaping.h"

std::string SignInPage(const std::string& returnPath, const std::string& message, bool unencrypted,
                       int port) {
  std::string page =
      "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta charset=\"utf-8\">\r\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r\n"
      "<title>Sign in</title>\r\n<style>\r\n"
      "body{font-family:sans-serif;margin:2em auto;max-width:22em;padding:0 1em}\r\n"
      "label{display:block;margin-top:.8em}\r\n"
      "input{box-sizing:border-box;width:100%;padding:.4em;font-size:1em}\r\n"
      "button{margin-top:1.2em;padding:.4em 1.6em;font-size:1em}\r\n"
      ".problem{color:#a00000}.note{color:#705000}\r\n"
      "</style>\r\n</head>\r\n<body>\r\n<h1>Sign in</h1>\r\n"
      "<p>The requested URL is for signed-in accounts only.</p>\r\n";
  if (!message.empty()) page += "<p class=\"problem\">" + EscapeHtml(message) + "</p>\r\n";
  if (unencrypted) {
    page +=
        "<p class=\"note\">This connection is not encrypted: your password travels over the "
        "network as plain text.</p>\r\n";
  }
  page += "<form method=\"post\" action=\"/?";
  page += kSignInQuery;
  page += "\">\r\n<input type=\"hidden\" name=\"to\" value=\"" + EscapeHtml(returnPath) +
          "\">\r\n"
          "<label for=\"name\">Name</label>\r\n"
          "<input id=\"name\" name=\"name\" autocomplete=\"username\" autofocus required>\r\n"
          "<label for=\"password\">Password</label>\r\n"
          "<input id=\"password\" name=\"password\" type=\"password\" "
          "autocomplete=\"current-password\" required>\r\n"
          "<button type=\"submit\">Sign in</button>\r\n</form>\r\n<hr><i>" +
          std::string(kServerBanner) + " at port " + std::to_string(port) +
          ".</i>\r\n</body>\r\n</html>";
  return page;
}
