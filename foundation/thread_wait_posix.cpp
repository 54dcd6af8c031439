#include <chrono>
#include <thread>

#include "foundation/sent_calls.h"
#include "foundation/thread.h"

void WaitDeliveringSentMessages(const std::function<bool()>& done) {
  while (!done()) {
    if (SentCallQueue* queue = CurrentSentCallQueue()) queue->DeliverSentCalls();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}
