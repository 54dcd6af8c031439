#pragma once

// A thread that answers synchronous calls from other threads through a queue
// of its own (a message loop where no window system provides one) registers
// that queue here while it runs it, so that a wait of that thread for a
// worker keeps answering them (see WaitDeliveringSentMessages): the worker
// may be blocked in such a call and could otherwise never end.
class SentCallQueue {
 public:
  // Runs every call waiting for an answer; only on the registering thread.
  virtual void DeliverSentCalls() = 0;

 protected:
  ~SentCallQueue() = default;
};

// Sets (or with null clears) the calling thread's queue; returns the one it
// replaces, so nested loops can put it back.
SentCallQueue* SetCurrentSentCallQueue(SentCallQueue* queue);
// The calling thread's queue, or null.
SentCallQueue* CurrentSentCallQueue();
