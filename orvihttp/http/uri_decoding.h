#pragma once

#include <cstddef>
#include <string>

// The path part of a request URI: an absolute "http://host/..." form loses
// its scheme and host, the text after the first "?" is the query (kept
// undecoded), and the path is percent- and plus-decoded with UTF-8 sequences
// folded into single bytes (U+0080..U+00FF become their ISO-8859-1 byte;
// higher code points keep their low 8 bits; broken sequences are dropped).
struct DecodedUri {
  std::string path;
  std::string query;
  // A "%" without two characters after it inside the path: the request is
  // malformed (the decoder never reads past the path).
  bool malformed = false;
};

DecodedUri DecodeRequestUri(const std::string& uri);
