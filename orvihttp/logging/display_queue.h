#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The queue of coloured lines the Log page shows: a process-wide singleton
// with its own lock, ended together with the client registry at plugin stop.

// What a line reports; the numbers are the ones the queue stores.
enum class LogLineKind : uint32_t {
  ListenerEvent = 0,
  Answered = 2,  // a response below 400
  Failed = 3,    // a response of 400 or above
};

struct DisplayLine {
  uint32_t kind = 0;  // a LogLineKind value
  std::string text;   // at most 255 characters
};

// The queue keeps the newest this many lines; older ones drop off its front.
inline constexpr std::size_t kDisplayQueueLimit = 20000;

// Appends {kind, the first 255 characters of text}.
void PostLogLine(LogLineKind kind, const std::string& text);
// A copy of the queue, oldest first.
std::vector<DisplayLine> DisplayLines();
// Empties the queue (the Log page's "Clear log").
void ClearDisplayLines();
// Lines are numbered from 0 since the last clear. Appends to `lines` the
// ones numbered `first` and up that the queue still keeps (it keeps the
// newest 20000) and returns the number the next posted line will get.
uint64_t CopyDisplayLinesFrom(uint64_t first, std::vector<DisplayLine>* lines);
// Ends the queue; the next use starts an empty one.
void DestroyDisplayQueue();
