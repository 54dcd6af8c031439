#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

// Answers the message boxes with a given caption that the code under test
// shows while this object lives. On Windows a helper thread finds the box,
// keeps its text and presses OK; elsewhere boxes go to standard error and
// need no answer, and Text() gives the expected text unchecked.
class MessageBoxAnswerer {
 public:
  explicit MessageBoxAnswerer(const std::string& caption);
  ~MessageBoxAnswerer();
  MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
  MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

  // The text of the last box answered.
  std::string Text() const;

 private:
  std::string caption_;
  std::atomic<bool> done_{false};
  mutable std::mutex mutex_;
  std::string text_;
  std::thread thread_;
};
