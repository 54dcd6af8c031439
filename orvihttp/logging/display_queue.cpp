#include "orvihttp/logging/display_queue.h"

#include <deque>
#include <memory>
#include <vector>

namespace {

constexpr std::size_t kMaxDisplayText = 255;
// Line texts are packed into blocks this large. Every connection thread posts
// lines, and a line of its own on the heap would sit among the connection's
// short-lived memory and keep those pages from going back to the system once
// the connection ends.
constexpr std::size_t kBlockBytes = 64 * 1024;

struct TextBlock {
  std::unique_ptr<char[]> bytes{new char[kBlockBytes]};
  std::size_t used = 0;
  std::size_t linesLeft = 0;  // lines of the queue whose text lies here
};

struct StoredLine {
  const char* text = nullptr;
  uint32_t kind = 0;
  uint32_t length = 0;
};

}  // namespace

// The Log page reads the queue by position, so lines are only ever dropped
// from the front, and only when the queue grows far beyond what a page shows.
// The positions live in a ring made once, the texts in blocks freed as soon as
// their last line drops off.
struct DisplayQueue::Lines {
  std::vector<StoredLine> ring = std::vector<StoredLine>(kDisplayQueueLimit);
  std::size_t front = 0;  // index in `ring` of the oldest line
  std::size_t count = 0;
  std::deque<TextBlock> blocks;  // the oldest first
  uint64_t dropped = 0;          // since the last clear

  const StoredLine& At(std::size_t index) const { return ring[(front + index) % ring.size()]; }

  void DropOldest() {
    --blocks.front().linesLeft;
    if (blocks.front().linesLeft == 0) blocks.pop_front();
    front = (front + 1) % ring.size();
    --count;
    ++dropped;
  }

  void Append(uint32_t kind, const std::string& text) {
    if (count == ring.size()) DropOldest();
    const std::size_t length = text.size() < kMaxDisplayText ? text.size() : kMaxDisplayText;
    if (blocks.empty() || kBlockBytes - blocks.back().used < length) blocks.emplace_back();
    TextBlock& block = blocks.back();
    char* at = block.bytes.get() + block.used;
    text.copy(at, length);
    block.used += length;
    ++block.linesLeft;
    ring[(front + count) % ring.size()] = StoredLine{at, kind, static_cast<uint32_t>(length)};
    ++count;
  }

  DisplayLine Copy(std::size_t index) const {
    const StoredLine& line = At(index);
    return DisplayLine{line.kind, std::string(line.text, line.length)};
  }
};

DisplayQueue::DisplayQueue() : lines_(std::make_unique<Lines>()) {}
DisplayQueue::~DisplayQueue() = default;

void DisplayQueue::Post(LogLineKind kind, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_->Append(static_cast<uint32_t>(kind), text);
}

std::vector<DisplayLine> DisplayQueue::AllLines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<DisplayLine> lines;
  lines.reserve(lines_->count);
  for (std::size_t i = 0; i < lines_->count; ++i) lines.push_back(lines_->Copy(i));
  return lines;
}

void DisplayQueue::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_->blocks.clear();
  lines_->front = 0;
  lines_->count = 0;
  lines_->dropped = 0;
}

uint64_t DisplayQueue::CopyFrom(uint64_t first, std::vector<DisplayLine>* lines) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const uint64_t dropped = lines_->dropped;
  const uint64_t next = dropped + lines_->count;
  for (uint64_t number = first < dropped ? dropped : first; number < next; ++number) {
    lines->push_back(lines_->Copy(static_cast<std::size_t>(number - dropped)));
  }
  return next;
}
