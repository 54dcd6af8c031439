#include "orvihttp/http/chunked_response_body.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

std::string ChunkSizeLine(std::size_t size) {
  char text[24];
  std::snprintf(text, sizeof text, "%zX\r\n", size);
  return text;
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
  if (length == 0) return 0;
  if (!pending_.empty()) return TakePending(buffer, length);
  if (finished_) return 0;
  constexpr std::size_t kSmallest = 64;
  if (length < kFrontRoom + kBackRoom + kSmallest) {
    // A step too small for the framing: one small chunk is made aside and
    // handed out over several steps.
    char piece[kSmallest];
    const std::size_t got = inner_.Read(piece, sizeof piece);
    payload_ += got;
    if (got == 0) {
      finished_ = true;
      pending_ = "0\r\n\r\n";
    } else {
      pending_ = ChunkSizeLine(got) + std::string(piece, got) + "\r\n";
    }
    return TakePending(buffer, length);
  }
  // The piece is read straight into the caller's buffer, after room for its
  // length line, and moved up to meet the line once its length is known.
  const std::size_t got = inner_.Read(buffer + kFrontRoom, length - kFrontRoom - kBackRoom);
  payload_ += got;
  if (got == 0) {
    finished_ = true;
    std::memcpy(buffer, "0\r\n\r\n", 5);
    return 5;
  }
  const std::string line = ChunkSizeLine(got);
  std::memmove(buffer + line.size(), buffer + kFrontRoom, got);
  std::memcpy(buffer, line.data(), line.size());
  std::memcpy(buffer + line.size() + got, "\r\n", 2);
  return line.size() + got + 2;
}
