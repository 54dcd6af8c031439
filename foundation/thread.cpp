#include "foundation/thread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "foundation/debug_output.h"

struct Thread::SharedState {
  std::mutex mutex;
  std::condition_variable changed;
  bool running = false;
  // Written under `mutex` (for `changed`'s waits); read without it by the
  // loops that ask between every piece of work.
  std::atomic<bool> stopRequested{false};
  bool workerActive = false;  // the worker has not yet left Entry()
  std::thread worker;
  std::thread::id workerId;

  // Wakers have their own lock, held while they run, so a StopWaker cannot be
  // destroyed while its callback is running. Build a StopWaker outside any
  // lock that its callback takes.
  std::mutex wakeMutex;
  std::map<uint64_t, std::function<void()>> wakers;
  uint64_t nextWakerId = 1;

  void WakeAll() {
    std::lock_guard<std::mutex> lock(wakeMutex);
    for (auto& entry : wakers) entry.second();
    wakers.clear();
  }
};

namespace {
// Plain pointers only: with mingw-w64's emulated TLS a thread_local with a
// destructor can be destroyed after its storage is gone when many threads
// end. The shared state itself is kept alive by Entry's own copy.
thread_local Thread* currentThread = nullptr;
thread_local const std::shared_ptr<Thread::SharedState>* currentState = nullptr;

// Runs one step of a worker. An exception it lets out would end the whole
// process; instead the step ends as if it had returned, and the failure is
// written where a developer looks.
template <class Step>
void RunStepOfWorker(Step step) noexcept {
  try {
    step();
  } catch (...) {
    ReportUncaughtException("a worker thread");
  }
}

}  // namespace

Thread::Thread() : state_(std::make_shared<SharedState>()) {}

Thread::~Thread() {
  Stop();
  std::unique_lock<std::mutex> lock(state_->mutex);
  if (state_->worker.joinable()) {
    if (state_->worker.get_id() == std::this_thread::get_id()) {
      // The object is being deleted by its own worker (it ends itself); the
      // worker only touches the shared state from here on.
      state_->worker.detach();
    } else {
      lock.unlock();
      JoinWorker();
    }
  }
}

bool Thread::Start() {
  if (IsRunning()) Stop();
  {
    std::unique_lock<std::mutex> lock(state_->mutex);
    if (state_->worker.joinable() && state_->worker.get_id() == std::this_thread::get_id()) {
      state_->worker.detach();
    }
  }
  JoinWorker();  // a worker whose body ended by itself may still be leaving

  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->running = true;
  state_->stopRequested = false;
  state_->workerActive = true;
  try {
    state_->worker = std::thread(&Thread::Entry, this, state_);
  } catch (...) {
    state_->running = false;
    state_->workerActive = false;
    lock.unlock();
    OnThreadStop();
    return false;
  }
  state_->workerId = state_->worker.get_id();
  return true;
}

void Thread::Entry(Thread* self, std::shared_ptr<SharedState> state) {
  currentThread = self;
  currentState = &state;
  auto goOn = [&state] {
    std::lock_guard<std::mutex> lock(state->mutex);
    return !state->stopRequested;
  };
  RunStepOfWorker([&] {
    if (goOn()) self->OnThreadStart();
    if (goOn()) self->Run();
  });
  // A body that ends stops its own object; OnThreadStop may delete `self`,
  // so nothing below touches it.
  RunStepOfWorker([self] { self->Stop(); });
  currentThread = nullptr;
  currentState = nullptr;
  std::lock_guard<std::mutex> lock(state->mutex);
  state->workerActive = false;
  state->changed.notify_all();
}

void Thread::Stop() {
  std::shared_ptr<SharedState> state = state_;  // OnThreadStop may delete us
  bool onWorker;
  bool wasRunning;
  {
    std::unique_lock<std::mutex> lock(state->mutex);
    onWorker = state->workerActive && state->workerId == std::this_thread::get_id();
    wasRunning = state->running;
    state->running = false;
    if (wasRunning) state->stopRequested = true;
  }
  if (onWorker) {
    if (wasRunning) OnThreadStop();
    return;
  }
  if (wasRunning) {
    OnThreadStop();
    {
      std::lock_guard<std::mutex> lock(state->mutex);
      state->changed.notify_all();
    }
    state->WakeAll();
  }
  JoinWorker();
}

void Thread::JoinWorker() {
  std::shared_ptr<SharedState> state = state_;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    if (!state->worker.joinable()) return;
    if (state->worker.get_id() == std::this_thread::get_id()) return;
  }
  WaitDeliveringSentMessages([&] {
    std::lock_guard<std::mutex> lock(state->mutex);
    return !state->workerActive;
  });
  std::thread worker;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    worker = std::move(state->worker);
  }
  if (worker.joinable()) worker.join();
}

bool Thread::IsRunning() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->running;
}

bool Thread::StopRequested() const {
  return state_->stopRequested.load();
}

bool Thread::Pause(uint32_t milliseconds) {
  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                           [&] { return state_->stopRequested.load(); });
  return !state_->stopRequested;
}

Thread* Thread::Current() {
  return currentThread;
}

bool Thread::CurrentStopRequested() {
  if (!currentState) return false;
  return (*currentState)->stopRequested.load();
}

StopWaker::StopWaker(std::function<void()> wake) : state_(currentState ? *currentState : nullptr) {
  if (!state_) return;
  std::unique_lock<std::mutex> lock(state_->wakeMutex);
  bool stopping;
  {
    std::lock_guard<std::mutex> stateLock(state_->mutex);
    stopping = state_->stopRequested;
  }
  if (stopping) {
    // Already stopping: wake at once so the wait that follows returns.
    lock.unlock();
    state_.reset();
    wake();
    return;
  }
  id_ = state_->nextWakerId++;
  state_->wakers.emplace(id_, std::move(wake));
}

StopWaker::~StopWaker() {
  if (!state_) return;
  std::lock_guard<std::mutex> lock(state_->wakeMutex);
  state_->wakers.erase(id_);
}
