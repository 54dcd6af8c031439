#include "orvihttp/http/response_head.h"

#include <charconv>

#include "orvihttp/http/header_fields.h"

namespace {

// More than any head of a file's answer takes.
constexpr std::size_t kUsualHeadRoom = 512;

void AppendStatusLine(int code, std::string& out) {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, code).ptr;
  out += "HTTP/1.1 ";
  out.append(digits, end);
  out += "\r\n";
}

}  // namespace

std::string StatusLine(int code) {
  std::string line;
  AppendStatusLine(code, line);
  return line;
}

std::string ResponseHead(const Response& response, std::string_view dateText, bool chunked,
                         std::size_t bodyRoom) {
  ResponseHeaderValues fields;
  fields.contentType = response.contentType;
  fields.lastModified = response.lastModified;
  fields.contentLength = response.ContentLength();
  fields.acceptRanges = response.acceptsRanges;
  fields.contentRange = response.contentRange;
  fields.location = response.location;
  fields.wwwAuthenticate = response.wwwAuthenticate;
  fields.setCookie = response.setCookie;
  fields.noRanges = response.refusesRanges;
  fields.contentDisposition = response.contentDisposition;
  // "Not modified" has no body; a length would only mislead.
  if (response.status == 304) fields.contentLength = -1;
  if (response.untilClose && chunked) {
    fields.contentLength = -1;
    fields.chunked = true;
  } else if (response.untilClose) {
    fields.contentLength = -1;
    fields.connectionMode = HeaderFields::kClose;
  }
  // Without a body to follow, the status line fits the string's own room
  // and the header block then makes room for the whole head at once.
  std::string head;
  if (bodyRoom > 0) head.reserve(kUsualHeadRoom + bodyRoom);
  AppendStatusLine(response.status, head);
  AppendResponseHeaderBlock(fields, dateText, head);
  if (!response.range.empty()) head.insert(head.size() - 2, "Range: " + response.range + "\r\n");
  return head;
}
