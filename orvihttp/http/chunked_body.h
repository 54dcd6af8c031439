#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// A request body sent in chunks ("Transfer-Encoding: chunked"), the way a
// client sends what it does not know the length of (curl -T - from a pipe):
// read from the raw bytes piece by piece, never held whole.
class ChunkedBody {
 public:
  // Reads raw bytes of the connection: at most `length`, 0 when no more come.
  using RawReader = std::function<std::size_t(char* buffer, std::size_t length)>;

  explicit ChunkedBody(RawReader raw) : raw_(std::move(raw)) {}
  // Up to `length` bytes of the content; 0 at its end, or when the raw bytes
  // broke off or are malformed (Ended() tells which). Raw bytes past the end
  // may have been taken: the connection cannot serve another request.
  std::size_t Read(char* buffer, std::size_t length);
  // The last chunk and the trailer came whole.
  bool Ended() const { return state_ == State::Ended; }

 private:
  enum class State { Size, Data, DataEnd, Trailer, Ended, Failed };
  // More raw bytes into pending_; false when none came.
  bool Fill();
  // One line out of pending_, without its CRLF; false while none is whole.
  bool TakeLine(std::string& line);

  RawReader raw_;
  std::string pending_;
  std::size_t offset_ = 0;  // read position in pending_
  uint64_t chunkLeft_ = 0;
  State state_ = State::Size;
};
