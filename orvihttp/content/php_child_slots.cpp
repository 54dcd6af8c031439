#include "orvihttp/content/php_child_slots.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "foundation/thread.h"

namespace {

struct Slots {
  std::mutex mutex;
  std::condition_variable freed;
  int inUse = 0;
  int limit = DefaultPhpChildLimit();
};

Slots& TheSlots() {
  static Slots slots;
  return slots;
}

}  // namespace

int DefaultPhpChildLimit() {
  return std::max(4, 4 * static_cast<int>(std::thread::hardware_concurrency()));
}

PhpChildSlot::~PhpChildSlot() {
  Slots& slots = TheSlots();
  {
    std::lock_guard<std::mutex> lock(slots.mutex);
    --slots.inUse;
  }
  slots.freed.notify_one();
}

std::unique_ptr<PhpChildSlot> AcquirePhpChildSlot(uint32_t milliseconds) {
  Slots& slots = TheSlots();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  std::unique_lock<std::mutex> lock(slots.mutex);
  while (slots.inUse >= slots.limit) {
    // Short slices, so a connection being stopped does not wait it out.
    if (Thread::CurrentStopRequested()) return nullptr;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return nullptr;
    slots.freed.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(100)));
  }
  ++slots.inUse;
  return std::unique_ptr<PhpChildSlot>(new PhpChildSlot());
}

void SetPhpChildLimitForTesting(int limit) {
  Slots& slots = TheSlots();
  {
    std::lock_guard<std::mutex> lock(slots.mutex);
    slots.limit = limit > 0 ? limit : DefaultPhpChildLimit();
  }
  slots.freed.notify_all();
}
