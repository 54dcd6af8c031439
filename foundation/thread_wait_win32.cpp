#include <windows.h>

#include <chrono>
#include <thread>

#include "foundation/sent_calls.h"
#include "foundation/thread.h"

void WaitDeliveringSentMessages(const std::function<bool()>& done) {
  while (!done()) {
    // Peeking delivers messages other threads have sent to this thread's
    // windows, so a worker blocked in SendMessage to us can finish.
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    if (SentCallQueue* queue = CurrentSentCallQueue()) queue->DeliverSentCalls();
    MsgWaitForMultipleObjectsEx(0, nullptr, 2, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
  }
}
