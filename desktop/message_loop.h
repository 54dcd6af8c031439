#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "foundation/sent_calls.h"

// A thread's message queue where no window system provides one: tasks posted
// from any thread, synchronous sends that block the sender until the loop's
// thread has run them, and periodic timers. Sent tasks are also run while the
// loop's thread waits for a worker to stop (see WaitDeliveringSentMessages),
// as a window thread does with sent messages.
class MessageLoop final : public SentCallQueue {
 public:
  using Task = std::function<intptr_t()>;

  MessageLoop();
  ~MessageLoop();
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;

  // Queues a task; returns at once.
  void Post(std::function<void()> task);
  // Runs `task` on the loop's thread and returns its result. From the loop's
  // own thread it runs at once. Gives up (empty result) when the sending
  // thread is a worker being stopped, when `give_up` says so (checked every
  // few milliseconds), or when the loop has ended.
  std::optional<intptr_t> Send(Task task, std::function<bool()> give_up = nullptr);

  // Starts or restarts timer `id`, firing every `period_ms` on the loop.
  void SetTimer(uint32_t id, uint32_t period_ms, std::function<void()> on_tick);
  void KillTimer(uint32_t id);

  // Runs on the calling thread until Quit; returns the exit code. Once it
  // returns, pending and later sends are refused.
  int Run();
  // Ends Run after the task being processed; callable from any thread.
  void Quit(int exit_code);

  // Runs every pending synchronous send now. Only on the loop's thread.
  void DeliverSentCalls() override;

 private:
  struct SentTask {
    Task task;
    intptr_t result = 0;
    bool done = false;
    bool abandoned = false;
  };
  struct Timer {
    uint32_t period_ms;
    std::chrono::steady_clock::time_point due;
    std::function<void()> on_tick;
  };

  bool OnLoopThread() const;

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable sent_done_;
  std::deque<std::function<void()>> posted_;
  std::deque<std::shared_ptr<SentTask>> sent_;
  std::map<uint32_t, Timer> timers_;
  bool quit_ = false;
  bool ended_ = false;
  int exit_code_ = 0;
  std::thread::id loop_thread_;
  bool running_ = false;
};
