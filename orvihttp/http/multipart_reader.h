#pragma once

#include <cstddef>
#include <optional>
#include <string>

// A multipart/form-data body read as it arrives, in pieces of any size: each
// part's head is taken whole (it is small), its content handed on piece by
// piece, so a file in a form is never held in memory.

// One part's head, as far as an upload cares.
struct MultipartPartHead {
  std::string fieldName;  // the form field's name
  // The file name the client gave ("" when none was given); `isFile` tells
  // a file part from a plain field.
  std::string fileName;
  bool isFile = false;
};

class MultipartSink {
 public:
  virtual ~MultipartSink() = default;
  // False stops the reading: the body is refused.
  virtual bool BeginPart(const MultipartPartHead& head) = 0;
  virtual bool PartData(const char* data, std::size_t size) = 0;
  virtual bool EndPart() = 0;
};

class MultipartReader {
 public:
  // A part's head may not grow past this.
  static constexpr std::size_t kMaxPartHead = 16 * 1024;

  MultipartReader(const std::string& boundary, MultipartSink& sink);
  // The next bytes of the body; false once the body is malformed or the
  // sink refused, and for every call after that.
  bool Feed(const char* data, std::size_t size);
  // The closing boundary has come.
  bool Finished() const { return state_ == State::Done; }
  bool Failed() const { return state_ == State::Failed; }

 private:
  enum class State { Preamble, AfterBoundary, Head, Content, Done, Failed };
  bool Step();
  bool ParseHead(const std::string& head);

  MultipartSink& sink_;
  // "\r\n--" and the boundary: the first boundary is found the same way,
  // with "\r\n" put before the body.
  const std::string delimiter_;
  std::string pending_;
  State state_ = State::Preamble;
};

// The boundary of a "multipart/form-data; boundary=..." Content-Type
// value; nothing for another type or a boundary that is missing or longer
// than 70 characters.
std::optional<std::string> FormDataBoundary(const std::string& contentType);
