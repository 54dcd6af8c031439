#pragma once

#include <string>

#include "orvihttp/content/response.h"
#include "orvihttp/http/request.h"

// The answer to a plain-HTTP request while HTTPS is on and plain HTTP is to
// be sent there: a 301 to the same target (path and query as the client
// wrote them) on `httpsPort`, under the name the client used for the server
// (its Host header without the port), or `localAddress` when it sent none.
// The port is left out when it is 443, as browsers write it.
Response HttpsRedirect(const Request& request, int httpsPort, const std::string& localAddress);
