#include "orvihttp/http/sign_in_exchange.h"

#include "orvihttp/access/basic_credentials.h"
#include "orvihttp/access/sign_in_sessions.h"
#include "orvihttp/content/sign_in_page.h"
#include "orvihttp/content/url_escaping.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string DecodeFormValue(const std::string& text) {
  std::string value;
  value.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      value += ' ';
    } else if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
               HexDigit(text[i + 2]) >= 0) {
      value += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      value += text[i];
    }
  }
  return value;
}

// Where the form sends the browser back to: a path of this server only, so
// the form cannot be made to send anyone elsewhere.
std::string SafeReturnPath(const std::string& to) {
  if (to.empty() || to[0] != '/' || (to.size() > 1 && (to[1] == '/' || to[1] == '\\'))) {
    return "/";
  }
  for (char c : to) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) return "/";
  }
  return to;
}

std::string SessionCookie(const std::string& value, bool overTls, bool ending) {
  std::string cookie = std::string(kSessionCookieName) + "=" + value + "; Path=/";
  if (ending) cookie += "; Max-Age=0";
  cookie += "; HttpOnly; SameSite=Lax";
  if (overTls) cookie += "; Secure";
  return cookie;
}

Response SeeOther(const std::string& location) {
  Response response;
  response.status = 303;
  response.location = location;
  return response;
}

}  // namespace

bool IsSignInRequest(const Request& request) {
  return request.path == "/" && request.query == kSignInQuery &&
         (request.method == Request::Method::Get || request.method == Request::Method::Post);
}

bool IsSignOutRequest(const Request& request) {
  return request.path == "/" && request.query == kSignOutQuery &&
         request.method == Request::Method::Get;
}

bool AsksForAPage(const Request& request) {
  return request.headers.accept.find("text/html") != std::string::npos;
}

std::string FormField(const std::string& body, const std::string& name) {
  std::size_t at = 0;
  while (at <= body.size()) {
    std::size_t end = body.find('&', at);
    if (end == std::string::npos) end = body.size();
    const std::size_t equals = body.find('=', at);
    if (equals != std::string::npos && equals < end && body.compare(at, equals - at, name) == 0) {
      return DecodeFormValue(body.substr(equals + 1, end - equals - 1));
    }
    at = end + 1;
  }
  return "";
}

Response SignInFormResponse(const Request& request, const std::string& message, bool overTls,
                            int port) {
  Response response;
  response.status = 401;
  // Not the Basic scheme: a browser would put up its own password box
  // instead of the page.
  response.wwwAuthenticate = "Form realm=\"Orvi HTTP Server\"";
  response.contentType = "text/html; charset=utf-8";
  const std::string returnPath = IsSignInRequest(request) ? "/" : EncodeUrlPath(request.path, true);
  response.body = SignInPage(returnPath, message, !overTls, port);
  return response;
}

SignInAnswer AnswerSignInForm(AccessGate& gate, const Request& request,
                              const std::string& peerAddress, bool loopback, bool overTls, int port,
                              int64_t nowMs) {
  SignInAnswer answer;
  const std::string& body = request.query;
  answer.triedName = FormField(body, "name");
  const std::string password = FormField(body, "password");
  const std::string returnPath = SafeReturnPath(FormField(body, "to"));
  answer.result = gate.SignIn(answer.triedName, password, peerAddress, loopback, nowMs);
  using Outcome = AccessGate::SignInResult::Outcome;
  auto again = [&](int status, const std::string& message) {
    Response response;
    response.status = status;
    response.contentType = "text/html; charset=utf-8";
    response.body = SignInPage(returnPath, message, !overTls, port);
    if (status == 401) response.wwwAuthenticate = "Form realm=\"Orvi HTTP Server\"";
    return response;
  };
  switch (answer.result.outcome) {
    case Outcome::SignedIn:
      answer.response = SeeOther(returnPath);
      answer.response.setCookie = SessionCookie(answer.result.token, overTls, false);
      break;
    case Outcome::Wrong:
      answer.response = again(401, "Wrong name or password.");
      break;
    case Outcome::LockedOut:
      answer.response = again(429,
                              "Too many wrong passwords came from your address. Try again "
                              "in 15 minutes.");
      break;
    case Outcome::Failed:
      answer.response = again(500, "The server could not start a session. Try again.");
      break;
  }
  return answer;
}

Response AnswerSignOut(AccessGate& gate, const Request& request, bool overTls) {
  gate.SignOut(request.headers.cookie);
  Response response = SeeOther("/");
  response.setCookie = SessionCookie("", overTls, true);
  return response;
}
