#include "orvihttp/http/chunked_response_body.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// The largest piece whose length fits the eight digits.
constexpr std::size_t kLargestPiece = 0xFFFFFFFFu;

// Exactly ten characters for any piece up to kLargestPiece.
void WriteSizeLine(char* at, std::size_t size) {
  char text[24];
  std::snprintf(text, sizeof text, "%08zX\r\n", size);
  std::memcpy(at, text, 10);
}

}  // namespace

std::size_t ChunkedResponseBody::TakePending(char* buffer, std::size_t length) {
  const std::size_t n = std::min(length, pending_.size() - pendingAt_);
  std::memcpy(buffer, pending_.data() + pendingAt_, n);
  pendingAt_ += n;
  if (pendingAt_ == pending_.size()) {
    pending_.clear();
    pendingAt_ = 0;
  }
  return n;
}

std::size_t ChunkedResponseBody::Read(char* buffer, std::size_t length) {
  static_assert(kFrontRoom + kBackRoom == kFraming);
  if (length == 0) return 0;
  if (!pending_.empty()) return TakePending(buffer, length);
  if (finished_) return 0;
  if (length < kFraming + kSmallest) {
    // A step too small for the framing: one small chunk is made aside and
    // handed out over several steps.
    const std::size_t got = inner_.Read(piece_, sizeof piece_);
    payload_ += got;
    if (got == 0) {
      finished_ = true;
      pending_ = "0\r\n\r\n";
    } else {
      pending_.assign(kFrontRoom, '\0');
      WriteSizeLine(pending_.data(), got);
      pending_.append(piece_, got);
      pending_ += "\r\n";
    }
    return TakePending(buffer, length);
  }
  // The piece is read straight to its place after the length line.
  const std::size_t room = std::min(length - kFraming, kLargestPiece);
  const std::size_t got = inner_.Read(buffer + kFrontRoom, room);
  payload_ += got;
  if (got == 0) {
    finished_ = true;
    std::memcpy(buffer, "0\r\n\r\n", 5);
    return 5;
  }
  WriteSizeLine(buffer, got);
  std::memcpy(buffer + kFrontRoom + got, "\r\n", 2);
  return kFrontRoom + got + kBackRoom;
}
