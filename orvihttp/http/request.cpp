#include "orvihttp/http/request.h"

#include "orvihttp/http/uri_decoding.h"

std::string StripLineEnd(std::string line) {
  std::size_t end = line.find('\n');
  if (end == std::string::npos) return line;
  while (end > 0 && line[end - 1] == '\r') --end;
  line.resize(end);
  return line;
}

void Request::Reset() {
  state = State::RequestLine;
  path.clear();
  version.clear();
  requestLine.clear();
  query.clear();
  malformedUri = false;
  headers.Clear();
}

bool Request::EndOfHeaders() {
  // An empty line before any request line makes the lines after it headers;
  // the next empty line then completes a request without a request line.
  state = state == State::RequestLine ? State::Headers : State::Complete;
  return state == State::Complete;
}

bool Request::FeedLine(const std::string& line) {
  if (state == State::Headers) {
    headers.ParseHeaderLine(line);
    return false;
  }
  std::string_view words[3];
  std::size_t count = 0;
  SplitWords(line, 3, words, &count);
  if (count == 0) {
    Reset();
    return true;
  }
  if (words[0] == "GET") {
    method = Method::Get;
  } else if (words[0] == "HEAD") {
    method = Method::Head;
  } else if (words[0] == "POST") {
    method = Method::Post;
  } else if (words[0] == "PUT") {
    method = Method::Put;
  } else if (words[0] == "DELETE") {
    method = Method::Delete;
  } else {
    method = Method::Other;
  }
  if (count < 2) {
    Reset();
    return true;
  }
  DecodedUri uri = DecodeRequestUri(std::string(words[1]));
  path = std::move(uri.path);
  query = std::move(uri.query);
  malformedUri = uri.malformed;
  if (count < 3) {
    Reset();
    return true;
  }
  version.assign(words[2]);
  requestLine = line;
  state = State::Headers;
  return false;
}
