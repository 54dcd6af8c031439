#include "orvihttp/http/request.h"

#include "orvihttp/http/uri_decoding.h"

std::string StripLineEnd(const std::string& line) {
  std::size_t end = line.find('\n');
  if (end == std::string::npos) return line;
  while (end > 0 && line[end - 1] == '\r') --end;
  return line.substr(0, end);
}

void Request::Reset() {
  state = kRequestLine;
  path.clear();
  version.clear();
  requestLine.clear();
  query.clear();
  malformedUri = false;
  headers.Clear();
}

bool Request::EndOfHeaders() {
  ++state;
  return state >= kComplete;
}

bool Request::FeedLine(const std::string& line) {
  if (state == kHeaders) {
    headers.ParseHeaderLine(line);
    return false;
  }
  std::string words[3];
  std::size_t count = 0;
  SplitWords(line, 3, words, &count);
  if (count == 0) {
    Reset();
    return true;
  }
  if (words[0] == "GET") {
    method = kGet;
  } else if (words[0] == "HEAD") {
    method = kHead;
  } else if (words[0] == "POST") {
    method = kPost;
  } else {
    method = kOther;
  }
  if (count < 2) {
    Reset();
    return true;
  }
  DecodedUri uri = DecodeRequestUri(words[1]);
  path = std::move(uri.path);
  query = std::move(uri.query);
  malformedUri = uri.malformed;
  if (count < 3) {
    Reset();
    return true;
  }
  version = words[2];
  requestLine = line;
  state = kHeaders;
  return false;
}
