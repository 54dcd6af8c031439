#include "orvihttp/logging/log_lock.h"

#include "foundation/singleton.h"

namespace {
struct LogLockState {};
Singleton<LogLockState> holder;
}  // namespace

LogLock::LogLock() {
  holder.Lock();
}

LogLock::~LogLock() {
  holder.Unlock();
}

void LogLock::Destroy() {
  holder.Destroy();
}
