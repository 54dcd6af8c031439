#include "orvihttp/http/header_fields.h"

#include <charconv>
#include <cstdlib>
#include <string_view>

#include "orvihttp/config/product_identity.h"
#include "orvihttp/content/http_date.h"
#include "orvihttp/http/mime_table.h"

namespace {

// Leading digits after an optional sign, like atoi, but saturating instead of
// overflowing; 0 when there are none.
int64_t LeadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  constexpr int64_t kLimit = INT64_MAX / 10 - 10;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value > kLimit) {
      value = INT64_MAX;
      continue;
    }
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

// ASCII only: header names are ASCII, and the C library's tolower asks the
// locale for every byte.
char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameNameIgnoringCase(std::string_view name, std::string_view known) {
  if (name.size() != known.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (LowerAscii(name[i]) != LowerAscii(known[i])) return false;
  }
  return true;
}

// The value of a "Name: value" line without the blanks around it.
std::string FieldValue(const std::string& line, std::size_t colon) {
  std::size_t start = colon + 1;
  std::size_t end = line.size();
  while (start < end && (line[start] == ' ' || line[start] == '\t')) ++start;
  while (end > start && (line[end - 1] == ' ' || line[end - 1] == '\t')) --end;
  return line.substr(start, end - start);
}

}  // namespace

void SplitWords(std::string_view line, std::size_t maxWords, std::string_view* words,
                std::size_t* count) {
  *count = 0;
  std::size_t i = 0;
  while (*count < maxWords) {
    while (i < line.size() && line[i] == ' ') ++i;
    if (i >= line.size()) break;
    std::size_t start = i;
    while (i < line.size() && line[i] != ' ') ++i;
    words[(*count)++] = line.substr(start, i - start);
  }
}

void HeaderFields::Clear() {
  connectionMode = kNotStated;
  contentLength = 0;
  contentType.clear();
  host.clear();
  lastModified.clear();
  date.clear();
  range.clear();
  ifRange.clear();
  ifModifiedSince.clear();
  acceptRanges = false;
  contentRange.clear();
  noRanges = false;
  chunked = false;
  contentDisposition.clear();
  location.clear();
  authorization.clear();
  cookie.clear();
  accept.clear();
  bodyType.clear();
  bodyRange.clear();
  expect.clear();
  ifMatch.clear();
  transferEncoding.clear();
  wwwAuthenticate.clear();
  setCookie.clear();
}

void HeaderFields::ParseHeaderLine(const std::string& line) {
  const std::size_t colon = line.find(':');
  if (colon != std::string::npos) {
    const std::string_view name(line.data(), colon);
    if (SameNameIgnoringCase(name, "Range")) {
      range = FieldValue(line, colon);
      return;
    }
    if (SameNameIgnoringCase(name, "If-Range")) {
      ifRange = FieldValue(line, colon);
      return;
    }
    if (SameNameIgnoringCase(name, "If-Modified-Since")) {
      ifModifiedSince = FieldValue(line, colon);
      return;
    }
    if (SameNameIgnoringCase(name, "Authorization")) {
      authorization = FieldValue(line, colon);
      return;
    }
    if (SameNameIgnoringCase(name, "Cookie")) {
      // Several Cookie lines are one list.
      if (!cookie.empty()) cookie += "; ";
      cookie += FieldValue(line, colon);
      return;
    }
    if (SameNameIgnoringCase(name, "Accept")) {
      accept = FieldValue(line, colon);
      return;
    }
    // Read for uploads only; nothing else looks at them.
    struct {
      const char* name;
      std::string* value;
    } const uploadFields[] = {{"Content-Type", &bodyType},
                              {"Content-Range", &bodyRange},
                              {"Expect", &expect},
                              {"If-Match", &ifMatch},
                              {"Transfer-Encoding", &transferEncoding}};
    for (const auto& field : uploadFields) {
      if (SameNameIgnoringCase(name, field.name)) {
        *field.value = FieldValue(line, colon);
        break;
      }
    }
  }
  std::string_view words[2];
  std::size_t count = 0;
  SplitWords(line, 2, words, &count);
  if (count < 2) return;
  if (words[0] == "Connection:") {
    if (words[1] == "close") {
      connectionMode = kClose;
    } else if (words[1] == "Keep-Alive") {
      connectionMode = kKeepAlive;
    } else {
      connectionMode = kNotStated;
    }
  } else if (words[0] == "Host:") {
    host.assign(words[1]);
  } else if (words[0] == "Content-Length:") {
    contentLength = LeadingInteger(words[1]);
  }
}

std::string HeaderFields::BuildHeaderBlock() {
  return BuildHeaderBlockWithDate(CurrentHttpDate());
}

namespace {
const std::string kDefaultContentType = "text/plain";
}  // namespace

std::string HeaderFields::BuildHeaderBlockWithDate(const std::string& dateText) {
  date = dateText;
  if (contentType.empty()) contentType = "text/plain";
  std::string block;
  AppendHeaderBlock(dateText, block);
  return block;
}

void HeaderFields::AppendHeaderBlock(const std::string& dateText, std::string& out) {
  ResponseHeaderValues values;
  values.connectionMode = connectionMode;
  values.contentLength = contentLength;
  values.contentType = contentType;
  values.lastModified = lastModified;
  values.acceptRanges = acceptRanges;
  values.noRanges = noRanges;
  values.chunked = chunked;
  values.contentRange = contentRange;
  values.contentDisposition = contentDisposition;
  values.location = location;
  values.wwwAuthenticate = wwwAuthenticate;
  values.setCookie = setCookie;
  AppendResponseHeaderBlock(values, dateText, out);
}

void AppendResponseHeaderBlock(const ResponseHeaderValues& values, std::string_view dateText,
                               std::string& out) {
  auto field = [&out](const char* name, std::string_view value) {
    out += name;
    out += value;
    out += "\r\n";
  };
  out.reserve(out.size() + 192 + dateText.size() + values.contentType.size() +
              values.lastModified.size() + values.contentDisposition.size() +
              values.contentRange.size() + values.location.size() + values.wwwAuthenticate.size() +
              values.setCookie.size());
  out += "Connection: ";
  out += values.connectionMode == HeaderFields::kClose ? "close\r\n" : "Keep-Alive\r\n";
  field("Date: ", dateText);
  out += "Server: ";
  out += kServerBanner;
  out += "\r\n";
  const std::string_view type =
      values.contentType.empty() ? std::string_view(kDefaultContentType) : values.contentType;
  out += "Content-Type: ";
  out += type;
  // A page that names its own character set (the UTF-8 sign-in form) keeps it.
  if (type.substr(0, 4) == "text" && type.find("charset=") == std::string_view::npos) {
    out += "; charset=ISO-8859-1";
  }
  out += "\r\n";
  if (values.chunked) {
    out += "Transfer-Encoding: chunked\r\n";
  } else if (values.contentLength >= 0) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, values.contentLength).ptr;
    out += "Content-Length: ";
    out.append(digits, end);
    out += "\r\n";
  }
  if (!values.lastModified.empty()) field("Last-Modified: ", values.lastModified);
  if (values.acceptRanges) out += "Accept-Ranges: bytes\r\n";
  if (values.noRanges) out += "Accept-Ranges: none\r\n";
  if (!values.contentDisposition.empty()) {
    field("Content-Disposition: ", values.contentDisposition);
  }
  if (!values.contentRange.empty()) field("Content-Range: ", values.contentRange);
  if (!values.location.empty()) field("Location: ", values.location);
  if (!values.wwwAuthenticate.empty()) field("WWW-Authenticate: ", values.wwwAuthenticate);
  if (!values.setCookie.empty()) field("Set-Cookie: ", values.setCookie);
  out += "\r\n";
}

void HeaderFields::SetContentTypeForName(const std::string& name) {
  if (name.find('.') != std::string::npos) contentType = ContentTypeForName(name);
}
