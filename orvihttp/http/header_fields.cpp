#include "orvihttp/http/header_fields.h"

#include <cstdlib>

#include "orvihttp/config/product_identity.h"
#include "orvihttp/content/http_date.h"
#include "orvihttp/http/mime_table.h"

namespace {

// Leading digits after an optional sign, like atoi, but saturating instead of
// overflowing; 0 when there are none.
int64_t LeadingInteger(const std::string& text) {
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

}  // namespace

void SplitWords(const std::string& line, std::size_t maxWords, std::string* words,
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
}

void HeaderFields::ParseHeaderLine(const std::string& line) {
  std::string words[2];
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
    host = words[1];
  } else if (words[0] == "Content-Length:") {
    contentLength = LeadingInteger(words[1]);
  }
}

std::string HeaderFields::BuildHeaderBlock() {
  return BuildHeaderBlockWithDate(CurrentHttpDate());
}

std::string HeaderFields::BuildHeaderBlockWithDate(const std::string& dateText) {
  date = dateText;
  if (contentType.empty()) contentType = "text/plain";
  std::string block;
  block.reserve(256);
  block += "Connection: ";
  block += connectionMode == kClose ? "close\r\n" : "Keep-Alive\r\n";
  block += "Date: " + date + "\r\n";
  block += "Server: ";
  block += kServerBanner;
  block += "\r\n";
  block += "Content-Type: " + contentType;
  if (contentType.compare(0, 4, "text") == 0) block += "; charset=ISO-8859-1";
  block += "\r\n";
  if (contentLength >= 0) block += "Content-Length: " + std::to_string(contentLength) + "\r\n";
  if (!lastModified.empty()) block += "Last-Modified: " + lastModified + "\r\n";
  block += "\r\n";
  return block;
}

void HeaderFields::SetContentTypeForName(const std::string& name) {
  if (name.find('.') != std::string::npos) contentType = ContentTypeForName(name);
}
