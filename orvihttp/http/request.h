#pragma once

#include <string>

#include "orvihttp/http/header_fields.h"

// One request being read on a connection: the request line, then header
// lines up to an empty line. Reused for every request of the connection.
class Request {
 public:
  enum Method : int { kNone = 0, kGet = 1, kHead = 2, kPost = 3, kOther = 8 };
  enum State : int { kRequestLine = 0, kHeaders = 1, kComplete = 2 };

  // A non-empty line without its line end; true when the request is
  // complete.
  bool FeedLine(const std::string& line);
  // An empty line; true when the request is complete.
  bool EndOfHeaders();
  // Ready for the next request line. The method is left as it is.
  void Reset();

  int method = kNone;
  std::string path;   // decoded, without the query
  std::string query;  // raw text after the first "?", or a POST body
  std::string version;
  std::string requestLine;  // as received, without its line end
  HeaderFields headers;
  int state = kRequestLine;
  bool malformedUri = false;
};

// A received line without its line end: everything from the first "\n" on
// and the "\r"s right before it are removed.
std::string StripLineEnd(const std::string& line);
