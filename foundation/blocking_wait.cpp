#include "foundation/blocking_wait.h"

namespace {

thread_local BlockingWaitHook currentHook = nullptr;
thread_local void* currentContext = nullptr;

}  // namespace

void SetBlockingWaitHook(BlockingWaitHook hook, void* context) {
  currentHook = hook;
  currentContext = context;
}

void NoteBlockingWait() {
  if (currentHook) currentHook(currentContext);
}
