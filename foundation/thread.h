#pragma once

#include <cstdint>
#include <functional>
#include <memory>

// Base class for an object that owns one worker thread.
//
// Stopping is cooperative: Stop() clears the running flag, calls OnThreadStop()
// on the calling thread, wakes the worker from whatever wait it is in, and
// returns only once the worker has left its body. A worker therefore never
// dies while holding a lock. Every blocking wait of a worker must be wakeable:
// use Pause(), a Semaphore, or register a StopWaker around the wait (for
// example one that shuts down the socket being waited on).
//
// Derived classes must call Stop() in their own destructor: by the time the
// base destructor runs, their overrides and members are gone.
class Thread {
 public:
  Thread();
  virtual ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts a new worker; a running one is stopped first. False when no thread
  // could be created (the object is then idle).
  bool Start();
  // Ends the worker (see above). Does nothing on an idle object. Called on the
  // worker itself it only clears the flag and runs OnThreadStop(); the worker
  // ends when its body returns.
  void Stop();
  bool IsRunning() const;

  // True once Stop() has been asked for the current run.
  bool StopRequested() const;
  // Sleeps up to `milliseconds`; returns false when woken early by a stop.
  bool Pause(uint32_t milliseconds);

  // The Thread whose worker is the calling thread, or null (main thread,
  // foreign threads, or the worker of a Thread in another module).
  static Thread* Current();
  // True when the calling thread is a worker whose stop has been requested.
  static bool CurrentStopRequested();

  struct SharedState;

 protected:
  virtual void OnThreadStart() {}
  virtual void Run() = 0;
  virtual void OnThreadStop() {}

 private:
  static void Entry(Thread* self, std::shared_ptr<SharedState> state);
  // Joins a worker that is not the calling thread, keeping synchronous calls
  // addressed to the calling thread flowing so the worker cannot block on us.
  void JoinWorker();

  std::shared_ptr<SharedState> state_;
};

// Registers, for the lifetime of this object, how to wake the calling worker
// from a blocking wait when its Thread is stopped. Does nothing on a thread
// that is not a Thread's worker. The callback may run on another thread, at
// most once, and never after this object's destructor has returned.
class StopWaker {
 public:
  explicit StopWaker(std::function<void()> wake);
  ~StopWaker();
  StopWaker(const StopWaker&) = delete;
  StopWaker& operator=(const StopWaker&) = delete;

 private:
  std::shared_ptr<Thread::SharedState> state_;
  uint64_t id_ = 0;
};

// Waits for `done()` while delivering synchronous calls addressed to the
// calling thread (sent window messages on Windows, and the calls waiting in
// the thread's SentCallQueue, see sent_calls.h). Returns when done() is true.
void WaitDeliveringSentMessages(const std::function<bool()>& done);
