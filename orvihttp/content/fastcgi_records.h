#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The FastCGI records the server exchanges with one PHP program for one
// request: the request goes out whole, the reply is read as it arrives.

using FastCgiParams = std::vector<std::pair<std::string, std::string>>;

// The request as one run of bytes: a responder's BEGIN_REQUEST (id 1, the
// program closes the connection after it), `params` as name-value pairs in
// PARAMS records, an empty PARAMS, `input` in STDIN records, an empty STDIN.
std::string EncodeFastCgiRequest(const FastCgiParams& params, std::string_view input);

// The program's reply, fed as it arrives. What the program writes to its
// output is a CGI answer: header lines, a blank line, then the page. The
// header lines are dropped, since a page is answered the same way whichever
// way PHP runs; only the page's bytes come out. Error output is dropped too.
class FastCgiReplyReader {
 public:
  enum class State {
    More,       // the reply goes on
    Ended,      // END_REQUEST came: the page is complete
    Malformed,  // not a reply to this request: the program cannot be trusted further
  };

  // Takes `length` bytes and appends the page bytes among them to `*page`.
  // Bytes after the end are ignored; a malformed reply stays malformed.
  State Feed(const char* bytes, std::size_t length, std::string* page);
  State state() const { return state_; }

  // Header lines longer than this in all are malformed: a page without the
  // blank line would otherwise be held whole.
  static constexpr std::size_t kMaxHeadBytes = 64 * 1024;

 private:
  void TakeOutput(const char* bytes, std::size_t length, std::string* page);
  void StartRecord();

  State state_ = State::More;
  unsigned char header_[8] = {};
  std::size_t headerHave_ = 0;
  uint8_t type_ = 0;
  std::size_t contentLeft_ = 0;
  std::size_t paddingLeft_ = 0;
  bool inRecord_ = false;
  // The CGI header lines until the blank line after them.
  bool inHead_ = true;
  std::string head_;
};
