#include "orvihttp/http/response_head.h"

#include "orvihttp/http/header_fields.h"

std::string StatusLine(int code) {
  return "HTTP/1.1 " + std::to_string(code) + "\r\n";
}

std::string ResponseHead(const Response& response, const std::string& dateText, bool chunked) {
  HeaderFields fields;
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
  std::string head = StatusLine(response.status);
  fields.AppendHeaderBlock(dateText, head);
  if (!response.range.empty()) head.insert(head.size() - 2, "Range: " + response.range + "\r\n");
  return head;
}
