#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The header fields the server reads from a request (connection mode, host,
// content length, and the range and date conditions of a file request) and
// writes into a response (content length, content type, last modified, date,
// byte ranges). Every instance starts cleared.
class HeaderFields {
 public:
  enum ConnectionMode : int { kClose = 0, kKeepAlive = 1, kNotStated = 2 };

  HeaderFields() = default;
  virtual ~HeaderFields() = default;
  HeaderFields(const HeaderFields&) = default;
  HeaderFields& operator=(const HeaderFields&) = default;

  void Clear();
  // One request header line without its line end. "Connection:", "Host:"
  // and "Content-Length:" are understood in exactly this spelling, and only
  // their second word counts. "Range", "If-Range" and "If-Modified-Since"
  // are matched in any case, as HTTP has it, and keep their whole value.
  void ParseHeaderLine(const std::string& line);

  // The response's header lines and the empty line that ends them; sets
  // `date` to now.
  std::string BuildHeaderBlock();
  // The same with a given date text (for tests).
  std::string BuildHeaderBlockWithDate(const std::string& dateText);
  // Appends the block for `dateText` to `out`, as BuildHeaderBlockWithDate
  // makes it, without a copy of each field: every answer pays for it.
  void AppendHeaderBlock(const std::string& dateText, std::string& out);
  // Content type from the text after a name's last "."; a name without "."
  // leaves it as it is.
  void SetContentTypeForName(const std::string& name);

  int connectionMode = kNotStated;
  // 64-bit: files of 2 GiB and more get their true length. A request's
  // value saturates instead of overflowing.
  int64_t contentLength = 0;
  std::string contentType;
  std::string host;
  std::string lastModified;
  std::string date;
  // Request side: the values of the conditional and range headers, "" when
  // absent.
  std::string range;
  std::string ifRange;
  std::string ifModifiedSince;
  // The values of "Authorization", "Cookie" and "Accept", "" when absent.
  std::string authorization;
  std::string cookie;
  std::string accept;
  // Request side, for uploads: the values of "Content-Type",
  // "Content-Range", "Expect", "If-Match" and "Transfer-Encoding", "" when
  // absent.
  std::string bodyType;
  std::string bodyRange;
  std::string expect;
  std::string ifMatch;
  std::string transferEncoding;
  // Response side: an "Accept-Ranges: bytes" line, and a "Content-Range:"
  // line when not "".
  bool acceptRanges = false;
  std::string contentRange;
  // "Accept-Ranges: none": a body made while it is sent has no parts.
  bool noRanges = false;
  // "Transfer-Encoding: chunked" (then no Content-Length goes out).
  bool chunked = false;
  // A "Content-Disposition:" line when not "".
  std::string contentDisposition;
  // A "Location:" line when not "".
  std::string location;
  // "WWW-Authenticate:" and "Set-Cookie:" lines when not "".
  std::string wwwAuthenticate;
  std::string setCookie;
};

// The response side of HeaderFields, read where the values lie: every
// answer's head is made from these without a copy of each value.
struct ResponseHeaderValues {
  int connectionMode = HeaderFields::kNotStated;
  int64_t contentLength = 0;  // no Content-Length line when below 0
  std::string_view contentType;
  std::string_view lastModified;
  bool acceptRanges = false;
  bool noRanges = false;
  bool chunked = false;
  std::string_view contentRange;
  std::string_view contentDisposition;
  std::string_view location;
  std::string_view wwwAuthenticate;
  std::string_view setCookie;
};

// Appends the header lines of `values` and the empty line that ends them,
// with a Date line of `dateText`.
void AppendResponseHeaderBlock(const ResponseHeaderValues& values, std::string_view dateText,
                               std::string& out);

// Splits a line into words separated by runs of spaces (tab is an ordinary
// character); at most `maxWords` words are taken. The words are views into
// `line`.
void SplitWords(std::string_view line, std::size_t maxWords, std::string_view* words,
                std::size_t* count);
