#include "orvihttp/logging/display_queue.h"

#include <deque>
#include <memory>
#include <vector>

#include "foundation/singleton.h"

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

// The Log page reads the queue by position, so lines are only ever dropped
// from the front, and only when the queue grows far beyond what a page shows.
// The positions live in a ring made once, the texts in blocks freed as soon as
// their last line drops off.
struct DisplayQueue {
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

Singleton<DisplayQueue> queue;

}  // namespace

void PostLogLine(LogLineKind kind, const std::string& text) {
  SingletonAccess<DisplayQueue> stored(queue);
  stored->Append(static_cast<uint32_t>(kind), text);
}

std::vector<DisplayLine> DisplayLines() {
  SingletonAccess<DisplayQueue> stored(queue);
  std::vector<DisplayLine> lines;
  lines.reserve(stored->count);
  for (std::size_t i = 0; i < stored->count; ++i) lines.push_back(stored->Copy(i));
  return lines;
}

void ClearDisplayLines() {
  SingletonAccess<DisplayQueue> stored(queue);
  stored->blocks.clear();
  stored->front = 0;
  stored->count = 0;
  stored->dropped = 0;
}

uint64_t CopyDisplayLinesFrom(uint64_t first, std::vector<DisplayLine>* lines) {
  SingletonAccess<DisplayQueue> stored(queue);
  const uint64_t dropped = stored->dropped;
  const uint64_t next = dropped + stored->count;
  for (uint64_t number = first < dropped ? dropped : first; number < next; ++number) {
    lines->push_back(stored->Copy(static_cast<std::size_t>(number - dropped)));
  }
  return next;
}

void DestroyDisplayQueue() {
  queue.Destroy();
}
