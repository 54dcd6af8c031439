#include "orvihttp/http/https_redirect.h"

namespace {

// "name:port" and "[v6]:port" without the port; a name as it is.
std::string HostWithoutPort(const std::string& host) {
  if (!host.empty() && host.front() == '[') {
    const std::size_t close = host.find(']');
    return close == std::string::npos ? host : host.substr(0, close + 1);
  }
  const std::size_t colon = host.find(':');
  return colon == std::string::npos ? host : host.substr(0, colon);
}

// The request line's target, as the client sent it: "GET /a%20b?x HTTP/1.1"
// gives "/a%20b?x".
std::string RequestTarget(const std::string& requestLine) {
  const std::size_t start = requestLine.find(' ');
  if (start == std::string::npos) return "/";
  const std::size_t end = requestLine.rfind(' ');
  std::string target =
      requestLine.substr(start + 1, end > start ? end - start - 1 : std::string::npos);
  // An absolute target or anything else that is not a path goes to the top.
  if (target.empty() || target.front() != '/') return "/";
  for (unsigned char c : target) {
    if (c <= ' ' || c >= 0x7F) return "/";
  }
  return target;
}

// A name a client may use in a URL: no spaces, controls or characters that
// would end or split the Location line.
bool IsSafeHost(const std::string& host) {
  if (host.empty()) return false;
  for (unsigned char c : host) {
    if (c <= ' ' || c >= 0x7F || c == '/' || c == '\\' || c == '?' || c == '#' || c == '@') {
      return false;
    }
  }
  return true;
}

}  // namespace

Response HttpsRedirect(const Request& request, int httpsPort, const std::string& localAddress) {
  std::string host = HostWithoutPort(request.headers.host);
  if (!IsSafeHost(host)) host = localAddress;
  Response response;
  response.status = 301;
  response.location = "https://" + host;
  if (httpsPort != 443) response.location += ":" + std::to_string(httpsPort);
  response.location += RequestTarget(request.requestLine);
  response.body = "301 Moved permanently";
  return response;
}
