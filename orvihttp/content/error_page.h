#pragma once

#include "orvihttp/content/response.h"

// The answer of a status-only response: the small fixed page of 400, 401,
// 403, 404, 416, 429, 500, 501, 503 and 505, an empty body for any other
// code. The 401, 403, 404 and 429 pages name `port`, the port the server is
// set to.
Response ErrorPage(int code, int port);
