#include <chrono>
#include <thread>

#include "foundation/message_loop.h"
#include "foundation/thread.h"

void WaitDeliveringSentMessages(const std::function<bool()>& done) {
  while (!done()) {
    if (MessageLoop* loop = MessageLoop::Current()) loop->DeliverSentMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}
