#include <errno.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "foundation/blocking_wait.h"
#include "foundation/clock.h"
#include "foundation/folder_watch.h"
#include "foundation/thread.h"
#include "orvihttp/http/connection.h"
#include "orvihttp/http/connection_pool.h"
#include "orvihttp/logging/log_file.h"

namespace {

// The queue's numbers for the pool's own signals. A connection's number is
// its slot in the table and that slot's use count, which starts at 1, so
// no connection's number is one of these.
constexpr uint64_t kStopKey = 0;
constexpr uint64_t kPassedOnKey = 1;
constexpr uint64_t kFilesChangedKey = 2;
// Ready connections taken from the queue at once: one wait serves several
// requests, and a thread goes from one to the next without a system call.
constexpr int kBatch = 8;
// How often a polling thread looks for waiting connections past their idle time.
constexpr int64_t kSweepEveryMs = 250;
// A thread that found no place to poll after its long turn waits this long
// for one, then ends.
constexpr auto kSpareLifetime = std::chrono::seconds(10);

class EpollPool {
 public:
  explicit EpollPool(std::function<void()> beforeWaiting);
  ~EpollPool();
  EpollPool(const EpollPool&) = delete;
  EpollPool& operator=(const EpollPool&) = delete;

  bool Usable() const { return usable_; }
  bool Add(Connection* connection);
  void Leave(Connection* connection);

 private:
  class Worker;
  // Parked: in the queue, waiting to be readable; Busy: a thread runs it;
  // Ended: closed, out of the queue, waiting for its destructor.
  enum class State { Parked, Busy, Ended };
  struct Entry {
    uint32_t uses = 0;  // how often the slot was taken; a report for an earlier use misses
    bool inUse = false;
    Connection* connection = nullptr;
    State state = State::Parked;
    bool begun = false;
    bool readyWhileBusy = false;  // the queue reported it while a thread ran it
    bool leaving = false;
    Worker* worker = nullptr;  // the thread of a busy entry
  };
  // A Thread, so that the waits of a script it runs end when the
  // connection it serves is deleted (see Leave).
  class Worker : public Thread {
   public:
    explicit Worker(EpollPool* owner) : pool(owner) {}
    ~Worker() override { Stop(); }
    EpollPool* const pool;
    std::atomic<bool> handedOff{false};  // its place at the queue went to another
    bool retiring = false;               // its connection is being deleted: it ends after the turn
    bool done = false;                   // ended; reaped by the next spawn
    bool awake = false;                  // counted in awake_; only its own thread touches it
    // Ready connections taken from the queue and not yet served; only its
    // own thread touches them.
    std::vector<uint64_t> batch;
    std::size_t next = 0;

   protected:
    void Run() override { pool->Work(this); }
  };

  void Work(Worker* worker);
  // Fills the worker's batch from the queue, waiting when it is empty; false
  // when there is nothing to serve yet.
  bool Fetch(Worker* worker);
  // Hands the worker's unserved connections to the other threads.
  void PassOn(Worker* worker);
  // After a turn that handed its place on: polls again, or waits as a
  // spare; false when the thread is to end.
  bool ReturnToQueue(Worker* worker);
  // The entry of `key`, now busy with `worker`, or null when it is not
  // there to serve. A busy entry stays where it is in the table until its
  // turn ends, so the turn keeps the pointer instead of looking it up again.
  Entry* Claim(uint64_t key, Worker* worker, bool* begin);
  // The entry that `key` names, or null when its connection has left;
  // mutex_ held.
  Entry* FindLocked(uint64_t key);
  void ReleaseLocked(uint64_t key);
  // Both false when the thread is to end after it.
  bool Serve(uint64_t key, Entry& entry, bool begin);
  bool End(Entry& entry);
  void Sweep();
  static void HandOff(void* worker);
  void SpawnLocked();
  // A thread begins or ends a stretch of work. Held-back log lines go out
  // when the last thread at work stops: while any other still works, that
  // one will write them, so a busy server writes its logs in few calls.
  void Awake(Worker* worker);
  void Asleep(Worker* worker);

  bool usable_ = false;
  int queue_ = -1;
  int stopSignal_ = -1;
  int passedOnSignal_ = -1;  // raised while passedOn_ holds connections
  int filesChanged_ = -1;    // the folder watch's, polled with the sockets
  std::atomic<bool> stopping_{false};
  std::atomic<int64_t> nextSweepMs_{0};
  std::atomic<int> awake_{0};

  std::mutex mutex_;
  std::condition_variable turnEnded_;
  std::condition_variable placeFree_;
  // Entries by slot: a report finds its entry by index, not by a search,
  // and a slot is taken again by a later connection under a new number.
  // A deque, so that entries keep their addresses while it grows.
  std::deque<Entry> entries_;
  std::vector<uint32_t> freeSlots_;
  std::vector<uint64_t> passedOn_;  // ready connections a thread gave up
  std::list<std::unique_ptr<Worker>> workers_;
  const std::function<void()> beforeWaiting_;
  std::size_t target_ = 2;      // threads that poll the queue
  std::size_t polling_ = 0;     // threads at the queue or on their way to it
  std::size_t spares_ = 0;      // threads waiting for a place
  std::size_t freePlaces_ = 0;  // places handed to spares and not yet taken
};

EpollPool::EpollPool(std::function<void()> beforeWaiting)
    : beforeWaiting_(std::move(beforeWaiting)) {
  queue_ = epoll_create1(EPOLL_CLOEXEC);
  stopSignal_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  passedOnSignal_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (queue_ < 0 || stopSignal_ < 0 || passedOnSignal_ < 0) return;
  epoll_event event{};
  event.events = EPOLLIN;  // level-triggered: every polling thread sees it
  event.data.u64 = kStopKey;
  if (epoll_ctl(queue_, EPOLL_CTL_ADD, stopSignal_, &event) != 0) return;
  event.data.u64 = kPassedOnKey;
  if (epoll_ctl(queue_, EPOLL_CTL_ADD, passedOnSignal_, &event) != 0) return;
  // Changes to served files come with the sockets, and are taken in before
  // the requests that the same wait brought: those may have been sent
  // after the change.
  const int changes = FolderWatch::Shared().BeginPolling();
  event.data.u64 = kFilesChangedKey;
  if (changes >= 0) {
    filesChanged_ = changes;
    if (epoll_ctl(queue_, EPOLL_CTL_ADD, changes, &event) != 0) return;
  }
  const unsigned processors = std::thread::hardware_concurrency();
  // One per processor, and never fewer than two: a thread held up by the
  // disk (a file read, a log write) leaves another at the queue. More
  // threads than processors only took turns on them, a switch each time.
  target_ = processors > 2 ? processors : 2;
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::size_t i = 0; i < target_; ++i) SpawnLocked();
  usable_ = polling_ > 0;
}

EpollPool::~EpollPool() {
  stopping_ = true;
  if (stopSignal_ >= 0) {
    uint64_t one = 1;
    ssize_t written = write(stopSignal_, &one, sizeof one);
    (void)written;
  }
  std::list<std::unique_ptr<Worker>> workers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    placeFree_.notify_all();
    workers = std::move(workers_);
  }
  for (auto& worker : workers) worker->Stop();
  if (filesChanged_ >= 0) {
    epoll_ctl(queue_, EPOLL_CTL_DEL, filesChanged_, nullptr);
    FolderWatch::Shared().EndPolling();
  }
  if (stopSignal_ >= 0) close(stopSignal_);
  if (passedOnSignal_ >= 0) close(passedOnSignal_);
  if (queue_ >= 0) close(queue_);
}

void EpollPool::SpawnLocked() {
  // Threads that ended as spares are joined here, so they never pile up.
  for (auto it = workers_.begin(); it != workers_.end();) {
    if ((*it)->done) {
      it = workers_.erase(it);  // its destructor joins it
    } else {
      ++it;
    }
  }
  auto worker = std::make_unique<Worker>(this);
  // No thread now: the others go on, one fewer.
  if (!worker->Start()) return;
  workers_.push_back(std::move(worker));
  ++polling_;
}

bool EpollPool::Add(Connection* connection) {
  const SocketHandle socket = connection->Socket();
  if (socket == kInvalidSocket) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  uint32_t slot;
  if (freeSlots_.empty()) {
    slot = static_cast<uint32_t>(entries_.size());
    entries_.emplace_back();
  } else {
    slot = freeSlots_.back();
    freeSlots_.pop_back();
  }
  Entry& entry = entries_[slot];
  const uint32_t uses = entry.uses + 1;
  entry = Entry{};
  entry.uses = uses;
  entry.inUse = true;
  entry.connection = connection;
  const uint64_t key = (static_cast<uint64_t>(uses) << 32) | slot;
  connection->poolKey = key;
  // A fresh socket can be written to at once, so a polling thread begins it
  // now; after that only arriving bytes count.
  epoll_event event{};
  event.events = EPOLLIN | EPOLLOUT | EPOLLONESHOT;
  event.data.u64 = key;
  if (epoll_ctl(queue_, EPOLL_CTL_ADD, static_cast<int>(socket), &event) != 0) {
    ReleaseLocked(key);
    connection->poolKey = 0;
    return false;
  }
  return true;
}

void EpollPool::Leave(Connection* connection) {
  const uint64_t key = connection->poolKey;
  std::unique_lock<std::mutex> lock(mutex_);
  Entry* found = FindLocked(key);
  if (!found) return;
  Entry& entry = *found;
  entry.leaving = true;
  if (entry.state == State::Busy && entry.worker && entry.worker->handedOff) {
    // Its thread is in a long wait, perhaps for a script: stopping that
    // thread ends the wait now, as deleting a connection's own thread does.
    Worker* worker = entry.worker;
    worker->retiring = true;
    lock.unlock();
    worker->Stop();
    lock.lock();
    worker->done = true;
  }
  turnEnded_.wait(lock, [&entry] { return entry.state != State::Busy; });
  if (entry.state == State::Parked) {
    // Its socket is still open: the queue forgets it before it closes.
    epoll_ctl(queue_, EPOLL_CTL_DEL, static_cast<int>(connection->Socket()), nullptr);
  }
  ReleaseLocked(key);
  connection->poolKey = 0;
}

EpollPool::Entry* EpollPool::FindLocked(uint64_t key) {
  const uint32_t slot = static_cast<uint32_t>(key);
  if (slot >= entries_.size()) return nullptr;
  Entry& entry = entries_[slot];
  if (!entry.inUse || entry.uses != static_cast<uint32_t>(key >> 32)) return nullptr;
  return &entry;
}

void EpollPool::ReleaseLocked(uint64_t key) {
  Entry* entry = FindLocked(key);
  if (!entry) return;
  entry->inUse = false;
  entry->connection = nullptr;
  freeSlots_.push_back(static_cast<uint32_t>(key));
}

EpollPool::Entry* EpollPool::Claim(uint64_t key, Worker* worker, bool* begin) {
  std::lock_guard<std::mutex> lock(mutex_);
  Entry* found = FindLocked(key);
  if (!found) return nullptr;
  Entry& entry = *found;
  if (entry.state == State::Busy) {
    // Armed again just before its thread let go of it: that thread serves on.
    entry.readyWhileBusy = true;
    return nullptr;
  }
  if (entry.state != State::Parked || entry.leaving) return nullptr;
  entry.state = State::Busy;
  entry.worker = worker;
  *begin = !entry.begun;
  entry.begun = true;
  return &entry;
}

bool EpollPool::Serve(uint64_t key, Entry& entry, bool begin) {
  Connection* const connection = entry.connection;
  if (begin) connection->BeginServing();
  bool settled = !begin;
  // A connection that ended in a graceful close stays parked until the
  // peer's end comes too.
  auto turn = [connection] {
    if (connection->Closing()) return connection->ContinueClosing();
    return connection->ServeTurn(true, true) || connection->ContinueClosing();
  };
  const bool edge = connection->ReportsOnlyArrivals();
  while (turn()) {
    // Reported on each arrival, a plain socket needs no arming after every
    // turn: one system call less per request. It must have been read empty
    // since the last report, though, or bytes already there would wait for
    // an arrival that may never come.
    if (edge && !connection->SocketDrained()) continue;
    if (!edge || !settled) {
      epoll_event event{};
      event.events = edge ? EPOLLIN | EPOLLRDHUP | EPOLLET : EPOLLIN | EPOLLRDHUP | EPOLLONESHOT;
      event.data.u64 = key;
      // Armed while still busy, so no arriving byte goes unnoticed; a report
      // in between finds it busy and is taken up here.
      if (epoll_ctl(queue_, EPOLL_CTL_MOD, static_cast<int>(connection->Socket()), &event) != 0) {
        break;
      }
      settled = edge;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (entry.readyWhileBusy && !entry.leaving) {
      entry.readyWhileBusy = false;
      continue;
    }
    entry.readyWhileBusy = false;
    entry.state = State::Parked;
    const bool retiring = entry.worker->retiring;
    entry.worker = nullptr;
    if (entry.leaving) turnEnded_.notify_all();
    return !retiring;
  }
  return End(entry);
}

bool EpollPool::End(Entry& entry) {
  Connection* const connection = entry.connection;
  // Out of the queue before the socket closes, so that its number cannot
  // stand for the next socket opened.
  epoll_ctl(queue_, EPOLL_CTL_DEL, static_cast<int>(connection->Socket()), nullptr);
  connection->EndServing();
  connection->MarkFinished();
  std::lock_guard<std::mutex> lock(mutex_);
  entry.state = State::Ended;
  const bool retiring = entry.worker && entry.worker->retiring;
  entry.worker = nullptr;
  if (entry.leaving) turnEnded_.notify_all();
  return !retiring;
}

void EpollPool::Sweep() {
  const int64_t now = NowMs();
  int64_t due = nextSweepMs_.load(std::memory_order_relaxed);
  if (now < due || !nextSweepMs_.compare_exchange_strong(due, now + kSweepEveryMs)) return;
  // However long the threads stay at work, a held-back log line waits no
  // longer than a sweep.
  beforeWaiting_();
  std::vector<Entry*> expired;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Entry& entry : entries_) {
      if (entry.inUse && entry.state == State::Parked && !entry.leaving &&
          entry.connection->IdleTooLong(now)) {
        entry.state = State::Busy;
        entry.worker = nullptr;
        expired.push_back(&entry);
      }
    }
  }
  for (Entry* entry : expired) End(*entry);
}

void EpollPool::Awake(Worker* worker) {
  if (worker->awake) return;
  worker->awake = true;
  awake_.fetch_add(1);
}

void EpollPool::Asleep(Worker* worker) {
  if (!worker->awake) return;
  worker->awake = false;
  if (awake_.fetch_sub(1) == 1) beforeWaiting_();
}

void EpollPool::HandOff(void* context) {
  auto* worker = static_cast<Worker*>(context);
  // A long wait (a script, a paced send) counts as not at work, or lines
  // would wait for the end of a download.
  worker->pool->Asleep(worker);
  if (worker->handedOff) return;
  worker->handedOff = true;
  EpollPool* pool = worker->pool;
  // The connections it took with this one must not wait for its turn.
  pool->PassOn(worker);
  std::lock_guard<std::mutex> lock(pool->mutex_);
  --pool->polling_;
  if (pool->stopping_ || pool->polling_ >= pool->target_) return;
  if (pool->spares_ > pool->freePlaces_) {
    ++pool->freePlaces_;
    ++pool->polling_;
    pool->placeFree_.notify_one();
  } else {
    pool->SpawnLocked();
  }
}

bool EpollPool::ReturnToQueue(Worker* worker) {
  worker->handedOff = false;
  std::unique_lock<std::mutex> lock(mutex_);
  if (polling_ < target_) {
    ++polling_;
    return true;
  }
  ++spares_;
  const bool placed =
      placeFree_.wait_for(lock, kSpareLifetime, [this] { return stopping_ || freePlaces_ > 0; });
  --spares_;
  if (stopping_ || !placed) {
    worker->done = true;
    return false;
  }
  --freePlaces_;
  return true;
}

void EpollPool::PassOn(Worker* worker) {
  if (worker->next >= worker->batch.size()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  passedOn_.insert(passedOn_.end(), worker->batch.begin() + worker->next, worker->batch.end());
  worker->batch.resize(worker->next);
  uint64_t one = 1;
  ssize_t written = write(passedOnSignal_, &one, sizeof one);
  (void)written;
}

bool EpollPool::Fetch(Worker* worker) {
  epoll_event events[kBatch];
  int ready = epoll_wait(queue_, events, kBatch, 0);
  if (ready == 0) {
    Asleep(worker);
    ready = epoll_wait(queue_, events, kBatch, static_cast<int>(kSweepEveryMs));
    Awake(worker);
  }
  if (stopping_) return false;
  Sweep();
  worker->batch.clear();
  worker->next = 0;
  for (int i = 0; i < ready; ++i) {
    const uint64_t key = events[i].data.u64;
    if (key == kStopKey) continue;
    if (key == kFilesChangedKey) {
      FolderWatch::Shared().TakeChanges();
      continue;
    }
    if (key != kPassedOnKey) {
      worker->batch.push_back(key);
      continue;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    uint64_t count = 0;
    ssize_t got = read(passedOnSignal_, &count, sizeof count);
    (void)got;
    worker->batch.insert(worker->batch.end(), passedOn_.begin(), passedOn_.end());
    passedOn_.clear();
  }
  return !worker->batch.empty();
}

void EpollPool::Work(Worker* worker) {
  SetBlockingWaitHook(&EpollPool::HandOff, worker);
  // Log lines wait while there is work, and go out before a wait for more.
  HoldBackLogLines holdBack;
  worker->batch.reserve(kBatch);
  while (!stopping_ && !worker->StopRequested()) {
    if (worker->handedOff) {
      // Handed off while it fetched (an idle connection's close may wait):
      // what it took must not wait with it for a place.
      PassOn(worker);
      if (!ReturnToQueue(worker)) break;
    }
    Awake(worker);
    if (worker->next >= worker->batch.size() && !Fetch(worker)) continue;
    const uint64_t key = worker->batch[worker->next++];
    bool begin = false;
    if (Entry* entry = Claim(key, worker, &begin)) {
      if (!Serve(key, *entry, begin)) break;
    }
  }
  // A thread that ends leaves no connection behind unserved.
  PassOn(worker);
  Asleep(worker);
  SetBlockingWaitHook(nullptr, nullptr);
}

}  // namespace

// The pool's threads belong to one server's registry, so stopping one server
// leaves another one's connections served. Made when its first connection
// comes.
struct ConnectionPool::Queue {
  explicit Queue(std::function<void()> beforeWaiting) : beforeWaiting(std::move(beforeWaiting)) {}
  const std::function<void()> beforeWaiting;
  std::mutex mutex;
  std::shared_ptr<EpollPool> pool;

  std::shared_ptr<EpollPool> Current(bool create) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!pool && create) {
      try {
        auto made = std::make_shared<EpollPool>(beforeWaiting);
        if (made->Usable()) pool = std::move(made);
      } catch (const std::exception&) {
        return nullptr;
      }
    }
    return pool;
  }
};

ConnectionPool::ConnectionPool(std::function<void()> beforeWaiting)
    : queue_(std::make_unique<Queue>(std::move(beforeWaiting))) {}

ConnectionPool::~ConnectionPool() {
  End();
}

bool ConnectionPool::Serve(Connection* connection) {
  std::shared_ptr<EpollPool> pool = queue_->Current(true);
  return pool && pool->Add(connection);
}

void ConnectionPool::Leave(Connection* connection) {
  if (connection->poolKey == 0) return;
  if (std::shared_ptr<EpollPool> pool = queue_->Current(false)) pool->Leave(connection);
}

void ConnectionPool::End() {
  std::shared_ptr<EpollPool> pool;
  {
    std::lock_guard<std::mutex> lock(queue_->mutex);
    pool = std::move(queue_->pool);
  }
}
