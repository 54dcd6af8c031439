#pragma once

#include <cstdint>
#include <string>

// The header fields the server reads from a request (connection mode, host,
// content length) and writes into a response (content length, content type,
// last modified, date). Every instance starts cleared.
class HeaderFields {
 public:
  enum ConnectionMode : int { kClose = 0, kKeepAlive = 1, kNotStated = 2 };

  HeaderFields() = default;
  virtual ~HeaderFields() = default;
  HeaderFields(const HeaderFields&) = default;
  HeaderFields& operator=(const HeaderFields&) = default;

  void Clear();
  // One request header line without its line end. Only "Connection:",
  // "Host:" and "Content-Length:" (exact spelling) are understood, and only
  // their second word counts.
  void ParseHeaderLine(const std::string& line);

  // The response's header lines and the empty line that ends them; sets
  // `date` to now.
  std::string BuildHeaderBlock();
  // The same with a given date text (for tests).
  std::string BuildHeaderBlockWithDate(const std::string& dateText);
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
};

// Splits a line into words separated by runs of spaces (tab is an ordinary
// character); at most `maxWords` words are taken.
void SplitWords(const std::string& line, std::size_t maxWords, std::string* words,
                std::size_t* count);
