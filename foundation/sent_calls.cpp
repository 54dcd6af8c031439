#include "foundation/sent_calls.h"

namespace {

thread_local SentCallQueue* currentQueue = nullptr;

}  // namespace

SentCallQueue* SetCurrentSentCallQueue(SentCallQueue* queue) {
  SentCallQueue* previous = currentQueue;
  currentQueue = queue;
  return previous;
}

SentCallQueue* CurrentSentCallQueue() {
  return currentQueue;
}
