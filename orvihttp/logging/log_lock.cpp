#include "orvihttp/logging/log_lock.h"

#include "foundation/append_file.h"
#include "foundation/singleton.h"

namespace {
Singleton<OpenLogs> holder;
}  // namespace

LogLock::LogLock() : logs_(holder.Lock()) {}

LogLock::~LogLock() {
  holder.Unlock();
}

void LogLock::Destroy() {
  holder.Destroy();
}
