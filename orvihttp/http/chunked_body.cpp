#include "orvihttp/http/chunked_body.h"

#include <algorithm>

namespace {

// A size or trailer line longer than this is no line a client sends.
constexpr std::size_t kMaxLine = 4096;
constexpr std::size_t kRawPiece = 64 * 1024;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool ChunkedBody::Fill() {
  if (offset_ > 0) {
    pending_.erase(0, offset_);
    offset_ = 0;
  }
  const std::size_t had = pending_.size();
  pending_.resize(had + kRawPiece);
  const std::size_t got = raw_(&pending_[had], kRawPiece);
  pending_.resize(had + got);
  return got > 0;
}

bool ChunkedBody::TakeLine(std::string& line) {
  const std::size_t end = pending_.find("\r\n", offset_);
  if (end == std::string::npos) {
    if (pending_.size() - offset_ > kMaxLine) state_ = State::Failed;
    return false;
  }
  line = pending_.substr(offset_, end - offset_);
  offset_ = end + 2;
  if (line.size() > kMaxLine) {
    state_ = State::Failed;
    return false;
  }
  return true;
}

std::size_t ChunkedBody::Read(char* buffer, std::size_t length) {
  for (;;) {
    std::string line;
    switch (state_) {
      case State::Size: {
        if (!TakeLine(line)) {
          if (state_ == State::Failed || !Fill()) {
            state_ = State::Failed;
            return 0;
          }
          continue;
        }
        // Extensions after ";" are of no use here.
        uint64_t size = 0;
        std::size_t digits = 0;
        for (char c : line) {
          const int digit = HexDigit(c);
          if (digit < 0) break;
          if (++digits > 15) {
            state_ = State::Failed;
            return 0;
          }
          size = size * 16 + static_cast<uint64_t>(digit);
        }
        if (digits == 0) {
          state_ = State::Failed;
          return 0;
        }
        chunkLeft_ = size;
        state_ = size == 0 ? State::Trailer : State::Data;
        continue;
      }
      case State::Data: {
        if (offset_ == pending_.size() && !Fill()) {
          state_ = State::Failed;
          return 0;
        }
        const std::size_t take = static_cast<std::size_t>(
            std::min<uint64_t>({chunkLeft_, pending_.size() - offset_, length}));
        std::copy(pending_.data() + offset_, pending_.data() + offset_ + take, buffer);
        offset_ += take;
        chunkLeft_ -= take;
        if (chunkLeft_ == 0) state_ = State::DataEnd;
        return take;
      }
      case State::DataEnd:
      case State::Trailer: {
        if (!TakeLine(line)) {
          if (state_ == State::Failed || !Fill()) {
            state_ = State::Failed;
            return 0;
          }
          continue;
        }
        if (state_ == State::DataEnd) {
          if (!line.empty()) {
            state_ = State::Failed;
            return 0;
          }
          state_ = State::Size;
        } else if (line.empty()) {
          state_ = State::Ended;
          return 0;
        }
        continue;
      }
      case State::Ended:
      case State::Failed:
        return 0;
    }
  }
}
