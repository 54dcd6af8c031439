#pragma once

#include <functional>
#include <optional>
#include <string>

#include "orvihttp/config/server_settings.h"
#include "orvihttp/content/directory_listing.h"
#include "orvihttp/content/response.h"
#include "orvihttp/content/virtual_directory.h"
#include "orvihttp/http/request.h"

// What a request is answered from: the settings it is served under and the
// tree of the server it came to.
class PhpProcessPool;

struct RouteContext {
  const ServerSettings& settings;
  const VirtualDirectory& directory;
  // Not 0: the request came over HTTPS on this port.
  int httpsPort = 0;
  // Set while access rules are in force: what a listing may show the client.
  ListingViewer viewer = {};
  // Set when PHP runs in programs kept running: the server's pool of them.
  PhpProcessPool* phpPrograms = nullptr;
};

// What answers a request, decided from the request and its context, without
// a socket: a file (whole, a part,
// 304 or 416), a folder's index file, a listing or 403, a script's output,
// or 404. `serving` is told the URL name of the file before its answer is
// made. Nothing when a script's run was cut short by a stop: nobody waits
// for an answer then.
std::optional<Response> RouteRequest(const Request& request, const RouteContext& context,
                                     const std::function<void(const std::string&)>& serving);

// True when the request names a script that would run, the only target that
// reads a POST body.
bool RouteUsesBody(const Request& request, const RouteContext& context);
