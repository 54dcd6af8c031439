#include "desktop/message_loop.h"

#include "foundation/thread.h"

namespace {
thread_local MessageLoop* currentLoop = nullptr;
}  // namespace

MessageLoop::MessageLoop() = default;

MessageLoop::~MessageLoop() {
  std::lock_guard<std::mutex> lock(mutex_);
  ended_ = true;
  for (auto& sent : sent_) sent->abandoned = true;
  sent_.clear();
  sent_done_.notify_all();
}

bool MessageLoop::OnLoopThread() const {
  return running_ && loop_thread_ == std::this_thread::get_id();
}

void MessageLoop::Post(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ended_) return;
  posted_.push_back(std::move(task));
  wake_.notify_all();
}

std::optional<intptr_t> MessageLoop::Send(Task task, std::function<bool()> giveUp) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) return std::nullopt;
  }
  if (currentLoop == this) return task();

  auto sent = std::make_shared<SentTask>();
  sent->task = std::move(task);
  std::unique_lock<std::mutex> lock(mutex_);
  sent_.push_back(sent);
  wake_.notify_all();
  while (!sent->done) {
    if (sent->abandoned || ended_) return std::nullopt;
    sent_done_.wait_for(lock, std::chrono::milliseconds(5));
    if (sent->done) break;
    bool stop = Thread::CurrentStopRequested();
    if (!stop && giveUp) {
      lock.unlock();
      stop = giveUp();
      lock.lock();
    }
    if (stop && !sent->done) {
      // Withdraw it unless the loop has already taken it.
      for (auto it = sent_.begin(); it != sent_.end(); ++it) {
        if (*it == sent) {
          sent_.erase(it);
          return std::nullopt;
        }
      }
    }
  }
  return sent->result;
}

void MessageLoop::SetTimer(uint32_t id, uint32_t periodMs, std::function<void()> onTick) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (periodMs == 0) periodMs = 1;
  timers_[id] =
      Timer{periodMs, std::chrono::steady_clock::now() + std::chrono::milliseconds(periodMs),
            std::move(onTick)};
  wake_.notify_all();
}

void MessageLoop::KillTimer(uint32_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  timers_.erase(id);
}

void MessageLoop::Quit(int exitCode) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (quit_) return;
  quit_ = true;
  exit_code_ = exitCode;
  wake_.notify_all();
}

void MessageLoop::DeliverSentCalls() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!sent_.empty()) {
    std::shared_ptr<SentTask> sent = sent_.front();
    sent_.pop_front();
    lock.unlock();
    intptr_t result = sent->task();
    lock.lock();
    sent->result = result;
    sent->done = true;
    sent_done_.notify_all();
  }
}

int MessageLoop::Run() {
  MessageLoop* outer = currentLoop;
  currentLoop = this;
  SentCallQueue* outerQueue = SetCurrentSentCallQueue(this);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    loop_thread_ = std::this_thread::get_id();
    running_ = true;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  while (!quit_) {
    if (!sent_.empty()) {
      lock.unlock();
      DeliverSentCalls();
      lock.lock();
      continue;
    }
    if (!posted_.empty()) {
      std::function<void()> task = std::move(posted_.front());
      posted_.pop_front();
      lock.unlock();
      task();
      lock.lock();
      continue;
    }
    // Fire the earliest due timer, else sleep until it is due or work comes.
    auto now = std::chrono::steady_clock::now();
    auto next = now + std::chrono::hours(1);
    uint32_t dueId = 0;
    bool anyDue = false;
    for (auto& [id, timer] : timers_) {
      if (timer.due <= now) {
        dueId = id;
        anyDue = true;
        break;
      }
      if (timer.due < next) next = timer.due;
    }
    if (anyDue) {
      Timer& timer = timers_[dueId];
      timer.due = now + std::chrono::milliseconds(timer.period_ms);
      std::function<void()> tick = timer.on_tick;
      lock.unlock();
      tick();
      lock.lock();
      continue;
    }
    wake_.wait_until(lock, next);
  }
  int code = exit_code_;
  running_ = false;
  ended_ = true;
  for (auto& sent : sent_) sent->abandoned = true;
  sent_.clear();
  sent_done_.notify_all();
  lock.unlock();
  currentLoop = outer;
  SetCurrentSentCallQueue(outerQueue);
  return code;
}
