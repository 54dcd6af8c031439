#include "orvihttp/logging/binary_log_reader.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr uint64_t kMarkBytes = 32;

// `count` bytes at `at`, or "" when the file holds fewer there.
std::string BytesAt(std::ifstream& file, uint64_t at, std::size_t count) {
  std::string bytes(count, '\0');
  file.clear();
  file.seekg(static_cast<std::streamoff>(at));
  file.read(bytes.data(), static_cast<std::streamsize>(count));
  if (static_cast<std::size_t>(file.gcount()) != count) return {};
  return bytes;
}

}  // namespace

std::optional<uint64_t> ReadBinLogFrom(const std::string& path, uint64_t offset,
                                       const BinLogVisitor& record) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  file.seekg(static_cast<std::streamoff>(offset));
  if (!file) return offset;
  // The buffer holds one chunk plus the unread start of a record; a record
  // is bounded by the longest strings the parser accepts.
  std::vector<uint8_t> buffer;
  std::size_t filled = 0;
  for (;;) {
    if (buffer.size() - filled < kChunk) buffer.resize(filled + kChunk);
    file.read(reinterpret_cast<char*>(buffer.data() + filled),
              static_cast<std::streamsize>(buffer.size() - filled));
    std::size_t got = static_cast<std::size_t>(file.gcount());
    if (got == 0) break;
    filled += got;
    std::size_t consumed = ParseBinLog(buffer.data(), filled, record);
    offset += consumed;
    std::memmove(buffer.data(), buffer.data() + consumed, filled - consumed);
    filled -= consumed;
    // A long damaged stretch was skipped: give the memory back.
    if (buffer.size() > 4 * kChunk && filled < kChunk) buffer.resize(kChunk * 2);
  }
  return offset;
}

BinLogFollower::Pass BinLogFollower::ReadNew(const std::string& path,
                                             const std::function<void()>& restart,
                                             const BinLogVisitor& record) {
  bool restarted = false;
  {
    std::ifstream file(path, std::ios::binary);
    if (!file) return Pass::Unreadable;
    if (offset_ > 0) {
      std::string head = BytesAt(file, 0, head_.size());
      std::string tail = BytesAt(file, offset_ - tail_.size(), tail_.size());
      if (head != head_ || tail != tail_) {
        Reset();
        restarted = true;
        restart();
      }
    }
  }
  std::optional<uint64_t> end = ReadBinLogFrom(path, offset_, record);
  if (!end) return Pass::Unreadable;
  if (*end != offset_) {
    offset_ = *end;
    std::ifstream file(path, std::ios::binary);
    head_ = BytesAt(file, 0, static_cast<std::size_t>(std::min(offset_, kMarkBytes)));
    uint64_t tailSize = std::min(offset_, kMarkBytes);
    tail_ = BytesAt(file, offset_ - tailSize, static_cast<std::size_t>(tailSize));
  }
  return restarted ? Pass::Restarted : Pass::Continued;
}

void BinLogFollower::Reset() {
  offset_ = 0;
  head_.clear();
  tail_.clear();
}
