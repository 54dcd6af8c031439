#include "orvihttp/http/client_registry.h"

#include <chrono>
#include <ctime>
#include <memory>
#include <mutex>
#include <new>

#include "foundation/free_memory.h"
#include "orvihttp/http/connection.h"
#include "orvihttp/http/server.h"
#include "orvihttp/logging/binary_log.h"
#include "orvihttp/logging/log_file.h"

struct ClientRegistry::Entry {
  uint32_t connectionId = 0;
  std::unique_ptr<Connection> connection;
  int64_t connectTime = 0;
  std::string peerAddress;
};

namespace {

// Ends the threads of entries already out of the list: kicked ones wake at
// their next wait, so this returns quickly.
void DeleteEntries(std::vector<ClientRegistry::Entry>& entries) {
  for (ClientRegistry::Entry& entry : entries) entry.connection.reset();
}

// Gives freed memory back once a burst of connections has ended: many at
// once, and at most once a second.
void ReturnMemoryAfterBurst(std::size_t ended) {
  constexpr std::size_t kBurst = 64;
  static std::mutex mutex;
  static std::size_t endedSince = 0;
  static auto last = std::chrono::steady_clock::time_point();
  {
    std::lock_guard<std::mutex> lock(mutex);
    endedSince += ended;
    const auto now = std::chrono::steady_clock::now();
    if (endedSince < kBurst || now - last < std::chrono::seconds(1)) return;
    endedSince = 0;
    last = now;
  }
  ReturnFreeMemory();
}

}  // namespace

ClientRegistry::ClientRegistry(Server& server)
    : server_(server), pool_([&server] { FlushLogs(server.logs()); }) {}

ClientRegistry::~ClientRegistry() {
  EndAll();
}

ClientRegistry::Entry* ClientRegistry::Find(uint32_t connectionId) {
  for (Entry& entry : entries_) {
    if (entry.connectionId == connectionId) return &entry;
  }
  return nullptr;
}

std::vector<ClientRegistry::Entry> ClientRegistry::TakeFinished() {
  std::vector<Entry> finished;
  std::vector<Entry> kept;
  kept.reserve(entries_.size());
  for (Entry& entry : entries_) {
    if (entry.connectionId == kFinishedConnection) {
      finished.push_back(std::move(entry));
    } else {
      kept.push_back(std::move(entry));
    }
  }
  entries_ = std::move(kept);
  return finished;
}

void ClientRegistry::Add(SocketHandle socket, const std::string& peerAddress,
                         std::shared_ptr<const TlsServerConfig> tls) {
  // Written before the registry is locked: connection threads that need the
  // registry do not wait for the disk.
  LogConnectionAccepted(server_.logs(), *server_.Settings());
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const uint32_t number = nextConnectionId_;
  Connection* connection = nullptr;
  try {
    auto created = std::make_unique<Connection>(server_, socket, number, peerAddress,
                                                server_.downloads().Join(), std::move(tls));
    Entry entry;
    entry.connectionId = number;
    entry.connectTime = static_cast<int64_t>(std::time(nullptr));
    entry.peerAddress = peerAddress;
    connection = created.get();
    entry.connection = std::move(created);
    entries_.push_back(std::move(entry));
  } catch (const std::bad_alloc&) {
    if (!connection) CloseSocket(socket);
    return;
  }
  nextConnectionId_ = number + 1;
  // A thread that cannot be created ends at once and marks its entry.
  if (!pool_.Serve(connection)) connection->Start();
}

void ClientRegistry::MarkFinished(uint32_t connectionId) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (Entry* entry = Find(connectionId)) entry->connectionId = kFinishedConnection;
}

void ClientRegistry::Kick(uint32_t connectionId) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (Entry* entry = Find(connectionId)) {
    entry->connection->Kick();
    entry->connectionId = kFinishedConnection;
  }
}

void ClientRegistry::Purge() {
  std::vector<Entry> finished;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    finished = TakeFinished();
  }
  DeleteEntries(finished);
  ReturnMemoryAfterBurst(finished.size());
}

std::vector<ClientInfo> ClientRegistry::Clients() {
  Purge();
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<ClientInfo> copies;
  copies.reserve(entries_.size());
  for (const Entry& entry : entries_) {
    ClientInfo info;
    info.connectionId = entry.connectionId;
    info.connectTime = entry.connectTime;
    info.peerAddress = entry.peerAddress;
    info.currentActivity = entry.connection->CurrentActivity();
    info.currentRate = entry.connection->CurrentRate();
    copies.push_back(std::move(info));
  }
  return copies;
}

std::size_t ClientRegistry::LiveCount() {
  Purge();
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::size_t live = 0;
  for (const Entry& entry : entries_) {
    if (entry.connectionId != kFinishedConnection) ++live;
  }
  return live;
}

ClientRegistry::Count ClientRegistry::CountLive(const std::string& address) {
  Purge();
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Count count;
  for (const Entry& entry : entries_) {
    if (entry.connectionId == kFinishedConnection) continue;
    ++count.total;
    if (entry.peerAddress == address) ++count.fromAddress;
  }
  return count;
}

bool ClientRegistry::KickOldestIdle() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Entry* oldest = nullptr;
  int64_t oldestSince = 0;
  for (Entry& entry : entries_) {
    if (entry.connectionId == kFinishedConnection) continue;
    const int64_t since = entry.connection->IdleSinceMs();
    if (since < 0) continue;
    if (!oldest || since < oldestSince) {
      oldest = &entry;
      oldestSince = since;
    }
  }
  if (!oldest) return false;
  oldest->connection->Kick();
  oldest->connectionId = kFinishedConnection;
  return true;
}

std::size_t ClientRegistry::IdleCount() {
  Purge();
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::size_t idle = 0;
  for (const Entry& entry : entries_) {
    if (entry.connectionId != kFinishedConnection && entry.connection->IdleSinceMs() >= 0) ++idle;
  }
  return idle;
}

std::string ClientRegistry::PeerAddressOf(uint32_t connectionId) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (Entry* entry = Find(connectionId)) return entry->peerAddress;
  return "";
}

void ClientRegistry::EndAll() {
  std::vector<Entry> all;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (Entry& entry : entries_) {
      entry.connection->Kick();
      entry.connectionId = kFinishedConnection;
    }
    all = std::move(entries_);
    entries_.clear();
    nextConnectionId_ = 0;
  }
  DeleteEntries(all);
  pool_.End();
}
