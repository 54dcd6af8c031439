#pragma once

#include <string>

#include "orvihttp/http/header_fields.h"

// One request being read on a connection: the request line, then header
// lines up to an empty line. Reused for every request of the connection.
class Request {
 public:
  // PUT and DELETE are served only for folders marked for uploads.
  enum class Method { None, Get, Head, Post, Put, Delete, Other };
  // What the next line is read as.
  enum class State { RequestLine, Headers, Complete };

  // A non-empty line without its line end; true when the request is
  // complete.
  bool FeedLine(const std::string& line);
  // An empty line; true when the request is complete.
  bool EndOfHeaders();
  // Ready for the next request line. The method is left as it is.
  void Reset();

  Method method = Method::None;
  std::string path;   // decoded, without the query
  std::string query;  // raw text after the first "?", or a POST body
  std::string version;
  std::string requestLine;  // as received, without its line end
  HeaderFields headers;
  State state = State::RequestLine;
  bool malformedUri = false;
};

// A received line without its line end: everything from the first "\n" on
// and the "\r"s right before it are removed.
std::string StripLineEnd(std::string line);
