#include "orvihttp/logging/binary_log_reader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "foundation/file_open.h"

namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr uint64_t kMarkBytes = 32;

// `count` bytes at `at`, or "" when the file holds fewer there.
std::string BytesAt(std::FILE* file, uint64_t at, std::size_t count) {
  std::string bytes(count, '\0');
  if (!file || !SeekFile(file, at)) return {};
  if (std::fread(bytes.data(), 1, count, file) != count) return {};
  return bytes;
}

// Closes the file when the reading is done, whichever way it ends.
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using OpenedFile = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

std::optional<uint64_t> ReadBinLogFrom(const std::string& path, uint64_t offset,
                                       const BinLogVisitor& record) {
  OpenedFile file(OpenFile(path, "rb"));
  if (!file) return std::nullopt;
  if (!SeekFile(file.get(), offset)) return offset;
  // The buffer holds one chunk plus the unread start of a record; a record
  // is bounded by the longest strings the parser accepts.
  std::vector<uint8_t> buffer;
  std::size_t filled = 0;
  for (;;) {
    if (buffer.size() - filled < kChunk) buffer.resize(filled + kChunk);
    std::size_t got = std::fread(buffer.data() + filled, 1, buffer.size() - filled, file.get());
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

bool ReadBinLogFile(const std::string& path, const BinLogVisitor& record) {
  return ReadBinLogFrom(path, 0, record).has_value();
}

BinLogFollower::Pass BinLogFollower::ReadNew(const std::string& path,
                                             const std::function<void()>& restart,
                                             const BinLogVisitor& record) {
  bool restarted = false;
  {
    OpenedFile file(OpenFile(path, "rb"));
    if (!file) return Pass::Unreadable;
    if (offset_ > 0) {
      std::string head = BytesAt(file.get(), 0, head_.size());
      std::string tail = BytesAt(file.get(), offset_ - tail_.size(), tail_.size());
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
    OpenedFile file(OpenFile(path, "rb"));
    head_ = BytesAt(file.get(), 0, static_cast<std::size_t>(std::min(offset_, kMarkBytes)));
    uint64_t tailSize = std::min(offset_, kMarkBytes);
    tail_ = BytesAt(file.get(), offset_ - tailSize, static_cast<std::size_t>(tailSize));
  }
  return restarted ? Pass::Restarted : Pass::Continued;
}

void BinLogFollower::Reset() {
  offset_ = 0;
  head_.clear();
  tail_.clear();
}
