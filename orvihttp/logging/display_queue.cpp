#include "orvihttp/logging/display_queue.h"

#include <deque>

#include "foundation/singleton.h"

namespace {

// The Log page reads the queue by position, so lines are only ever dropped
// from the front, and only when the queue grows far beyond what a page shows.
constexpr std::size_t kMaxDisplayText = 255;

struct DisplayQueue {
  std::deque<DisplayLine> lines;
  uint64_t dropped = 0;  // since the last clear
};

Singleton<DisplayQueue> queue;

}  // namespace

void PostLogLine(uint32_t kind, const std::string& text) {
  DisplayLine line;
  line.kind = kind;
  line.text = text.substr(0, kMaxDisplayText);
  SingletonAccess<DisplayQueue> stored(queue);
  stored->lines.push_back(std::move(line));
  if (stored->lines.size() > kDisplayQueueLimit) {
    stored->lines.pop_front();
    ++stored->dropped;
  }
}

std::vector<DisplayLine> DisplayLines() {
  SingletonAccess<DisplayQueue> stored(queue);
  return std::vector<DisplayLine>(stored->lines.begin(), stored->lines.end());
}

void ClearDisplayLines() {
  SingletonAccess<DisplayQueue> stored(queue);
  stored->lines.clear();
  stored->dropped = 0;
}

uint64_t CopyDisplayLinesFrom(uint64_t first, std::vector<DisplayLine>* lines) {
  SingletonAccess<DisplayQueue> stored(queue);
  const uint64_t dropped = stored->dropped;
  const uint64_t next = dropped + stored->lines.size();
  for (uint64_t number = first < dropped ? dropped : first; number < next; ++number) {
    lines->push_back(stored->lines[static_cast<std::size_t>(number - dropped)]);
  }
  return next;
}

void DestroyDisplayQueue() {
  queue.Destroy();
}
