// Request lines and header lines as a connection feeds them, plus URI
// decoding of every word of the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "orvihttp/content/http_date.h"
#include "orvihttp/http/byte_range.h"
#include "orvihttp/http/header_fields.h"
#include "orvihttp/http/request.h"
#include "orvihttp/http/uri_decoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);

  DecodedUri uri = DecodeRequestUri(input);
  // Decoding never adds bytes, and the query is taken as it came.
  if (uri.path.size() > input.size() || uri.query.size() > input.size()) std::abort();
  if (!uri.query.empty() && input.find(uri.query) == std::string::npos) std::abort();

  // A part always lies inside the body and holds at least one byte.
  for (uint64_t bodySize : {uint64_t{0}, uint64_t{1}, uint64_t{1000}, UINT64_MAX}) {
    const ByteRange range = ResolveByteRange(input, bodySize);
    if (range.kind == ByteRange::Kind::Part &&
        (range.length == 0 || range.first >= bodySize || range.length > bodySize - range.first)) {
      std::abort();
    }
  }
  // A date that reads back is one the server could have written.
  if (std::optional<int64_t> date = ParseHttpDate(input)) {
    if (ParseHttpDate(FormatHttpDate(*date)) != date) std::abort();
  }

  Request request;
  std::size_t start = 0;
  while (start < input.size()) {
    std::size_t end = input.find('\n', start);
    std::string received =
        input.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
    start = end == std::string::npos ? input.size() : end + 1;
    const std::string line = StripLineEnd(received);
    if (line.find('\n') != std::string::npos) std::abort();
    const bool complete = line.empty() ? request.EndOfHeaders() : request.FeedLine(line);
    // A request still being read waits for its request line or its headers.
    if (!complete && request.state == Request::State::Complete) std::abort();
    if (complete) {
      HeaderFields response;
      response.contentLength = request.headers.contentLength;
      response.SetContentTypeForName(request.path);
      std::string block = response.BuildHeaderBlockWithDate("Thu, 01 Jan 1970 00:00:00 GMT");
      if (block.size() < 4 || block.compare(block.size() - 4, 4, "\r\n\r\n") != 0) std::abort();
      request.Reset();
    }
  }
  return 0;
}
