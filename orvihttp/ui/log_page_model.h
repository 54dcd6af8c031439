#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "orvihttp/logging/display_queue.h"

// What the Log page shows and does, apart from drawing: which queued lines it
// holds, their colours, and the texts it saves and copies.

struct LineColour {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  bool operator==(const LineColour&) const = default;
};

// The text colour of a line of this kind: listener events black, answered
// requests green, failed ones red; unknown kinds black.
LineColour ColourOfKind(uint32_t kind);

// How one refresh changed the shown lines.
struct LogLinesUpdate {
  // Lines that were shown before and were taken off the front, so that the
  // page never holds more than its capacity.
  std::size_t dropped = 0;
  // New lines, now the last ones shown.
  std::size_t added = 0;
  // The queue had been emptied by someone else: everything shown before is
  // gone and the page starts again from the queue's first line.
  bool restarted = false;
};

// The page's own copy of the display queue's lines. Each refresh copies only
// the lines posted since the last one, so its cost follows what is new, not
// what is shown.
class LogLines {
 public:
  explicit LogLines(DisplayQueue& queue, std::size_t capacity = kDisplayQueueLimit)
      : queue_(queue), capacity_(capacity) {}

  LogLinesUpdate Refresh();
  // "Clear log": empties the display queue and the page.
  void Clear();

  std::size_t size() const { return lines_.size(); }
  const DisplayLine& operator[](std::size_t index) const { return lines_[index]; }

 private:
  DisplayQueue& queue_;
  std::deque<DisplayLine> lines_;
  // The queue's number of the next line to take.
  uint64_t next_ = 0;
  std::size_t capacity_;
};

// "Save log as...": every shown line, each ended by "\r\n".
std::string SavedLogText(const LogLines& lines);

// Ctrl+C: the selected lines, in list order, separated by "\r\n" (one line is
// its text alone). Indexes outside the list are ignored.
std::string CopiedLogText(const LogLines& lines, const std::vector<int>& selected);

// "Open server log...": the access log named by the live settings, or nothing
// when no file is named.
std::optional<std::string> ServerLogToOpen();

// The save dialog of "Save log as...".
inline constexpr char kSaveLogTitle[] = "Save log as...";
inline constexpr char kSaveLogExtension[] = ".txt";
std::vector<std::pair<std::string, std::string>> SaveLogFilters();
