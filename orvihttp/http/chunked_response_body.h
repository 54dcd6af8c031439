#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "orvihttp/content/response.h"

// Wraps a body of unknown length in HTTP/1.1 chunks: each piece the inner
// body gives goes out as one chunk, and its end as the last, empty chunk.
// Every chunk's length is written as eight hex digits (zeros in front), so
// a piece is read straight to its place after the line, never moved.
class ChunkedResponseBody : public BodySource {
 public:
  // The bytes a chunk adds to its piece: the length line before it and the
  // line end after it. A caller that wants pieces of N bytes reads N plus
  // this.
  static constexpr std::size_t kFraming = 12;

  explicit ChunkedResponseBody(BodySource& inner) : inner_(inner) {}

  std::size_t Read(char* buffer, std::size_t length) override;
  void KeepBuffersUntilNextRead() override { inner_.KeepBuffersUntilNextRead(); }
  void ReleaseBuffer() override { inner_.ReleaseBuffer(); }

  // True once the last chunk was handed out: the client can tell the body
  // is whole and the connection may carry another request.
  bool Finished() const { return finished_ && pendingAt_ == pending_.size(); }
  // The inner body's bytes handed out, without the chunks' framing.
  uint64_t PayloadBytes() const { return payload_; }

 private:
  // The length line ("0000FFF0\r\n") and the line end after the piece.
  static constexpr std::size_t kFrontRoom = 10;
  static constexpr std::size_t kBackRoom = 2;
  static constexpr std::size_t kSmallest = 64;

  std::size_t TakePending(char* buffer, std::size_t length);

  BodySource& inner_;
  // A small piece read aside when the caller's step is too small for the
  // framing; a member, as the inner body may still be working on it after
  // its Read (see KeepBuffersUntilNextRead).
  char piece_[kSmallest] = {};
  // Framed bytes that did not fit the caller's buffer (only for tiny ones).
  std::string pending_;
  std::size_t pendingAt_ = 0;
  bool finished_ = false;
  uint64_t payload_ = 0;
};
