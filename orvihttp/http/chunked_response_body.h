#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "orvihttp/content/response.h"

// Wraps a body of unknown length in HTTP/1.1 chunks: each piece the inner
// body gives goes out as one chunk, and its end as the last, empty chunk.
class ChunkedResponseBody : public BodySource {
 public:
  explicit ChunkedResponseBody(BodySource& inner) : inner_(inner) {}

  std::size_t Read(char* buffer, std::size_t length) override;

  // True once the last chunk was handed out: the client can tell the body
  // is whole and the connection may carry another request.
  bool Finished() const { return finished_ && pendingAt_ == pending_.size(); }
  // The inner body's bytes handed out, without the chunks' framing.
  uint64_t PayloadBytes() const { return payload_; }

 private:
  // Room for the length line of the largest piece ("FFFFFFFF\r\n") before
  // it and for its line end after it.
  static constexpr std::size_t kFrontRoom = 10;
  static constexpr std::size_t kBackRoom = 2;

  std::size_t TakePending(char* buffer, std::size_t length);

  BodySource& inner_;
  // Framed bytes that did not fit the caller's buffer (only for tiny ones).
  std::string pending_;
  std::size_t pendingAt_ = 0;
  bool finished_ = false;
  uint64_t payload_ = 0;
};
