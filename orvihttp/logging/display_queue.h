#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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

// The coloured lines of one server's Log page, with its own lock. Any thread.
class DisplayQueue {
 public:
  DisplayQueue();
  ~DisplayQueue();
  DisplayQueue(const DisplayQueue&) = delete;
  DisplayQueue& operator=(const DisplayQueue&) = delete;

  // Appends {kind, the first 255 characters of text}.
  void Post(LogLineKind kind, const std::string& text);
  // A copy of the queue, oldest first.
  std::vector<DisplayLine> AllLines() const;
  // Empties the queue (the Log page's "Clear log").
  void Clear();
  // Lines are numbered from 0 since the last clear. Appends to `lines` the
  // ones numbered `first` and up that the queue still keeps (it keeps the
  // newest 20000) and returns the number the next posted line will get.
  uint64_t CopyFrom(uint64_t first, std::vector<DisplayLine>* lines) const;

 private:
  struct Lines;
  mutable std::mutex mutex_;
  std::unique_ptr<Lines> lines_;
};
