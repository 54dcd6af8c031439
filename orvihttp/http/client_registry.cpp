#include "orvihttp/http/client_registry.h"

#include <chrono>
#include <ctime>
#include <memory>
#include <mutex>
#include <new>

#include "foundation/free_memory.h"
#include "foundation/singleton.h"
#include "orvihttp/http/connection.h"
#include "orvihttp/http/connection_pool.h"
#include "orvihttp/logging/binary_log.h"
#include "orvihttp/logging/display_queue.h"

namespace {

struct ClientEntry {
  uint32_t connectionId = 0;
  std::unique_ptr<Connection> connection;
  int64_t connectTime = 0;
  std::string peerAddress;
};

struct ClientRegistry {
  uint32_t nextConnectionId = 0;
  std::vector<ClientEntry> clients;
};

Singleton<ClientRegistry> registry;

ClientEntry* FindEntry(ClientRegistry& list, uint32_t connectionId) {
  for (ClientEntry& entry : list.clients) {
    if (entry.connectionId == connectionId) return &entry;
  }
  return nullptr;
}

// Moves the finished entries out; the caller deletes them after the lock.
std::vector<ClientEntry> TakeFinished(ClientRegistry& list) {
  std::vector<ClientEntry> finished;
  std::vector<ClientEntry> kept;
  kept.reserve(list.clients.size());
  for (ClientEntry& entry : list.clients) {
    if (entry.connectionId == kFinishedConnection) {
      finished.push_back(std::move(entry));
    } else {
      kept.push_back(std::move(entry));
    }
  }
  list.clients = std::move(kept);
  return finished;
}

// Ends the threads of entries already out of the list: kicked ones wake at
// their next wait, so this returns quickly.
void DeleteEntries(std::vector<ClientEntry>& entries) {
  for (ClientEntry& entry : entries) entry.connection.reset();
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

void AddClient(SocketHandle socket, const std::string& peerAddress) {
  // Written before the registry is locked: connection threads that need the
  // registry do not wait for the disk.
  LogConnectionAccepted();
  SingletonAccess<ClientRegistry> list(registry);
  const uint32_t number = list->nextConnectionId;
  Connection* connection = nullptr;
  try {
    auto created = std::make_unique<Connection>(socket, number, peerAddress, JoinDownloadShares());
    ClientEntry entry;
    entry.connectionId = number;
    entry.connectTime = static_cast<int64_t>(std::time(nullptr));
    entry.peerAddress = peerAddress;
    connection = created.get();
    entry.connection = std::move(created);
    list->clients.push_back(std::move(entry));
  } catch (const std::bad_alloc&) {
    if (!connection) CloseSocket(socket);
    return;
  }
  list->nextConnectionId = number + 1;
  // A thread that cannot be created ends at once and marks its entry.
  if (!ServeInConnectionPool(connection)) connection->Start();
}

void MarkClientFinished(uint32_t connectionId) {
  SingletonAccess<ClientRegistry> list(registry);
  if (ClientEntry* entry = FindEntry(*list, connectionId))
    entry->connectionId = kFinishedConnection;
}

void KickClient(uint32_t connectionId) {
  SingletonAccess<ClientRegistry> list(registry);
  if (ClientEntry* entry = FindEntry(*list, connectionId)) {
    entry->connection->Kick();
    entry->connectionId = kFinishedConnection;
  }
}

void PurgeClients() {
  std::vector<ClientEntry> finished;
  {
    SingletonAccess<ClientRegistry> list(registry);
    finished = TakeFinished(*list);
  }
  DeleteEntries(finished);
  ReturnMemoryAfterBurst(finished.size());
}

std::vector<ClientInfo> GetClients() {
  PurgeClients();
  SingletonAccess<ClientRegistry> list(registry);
  std::vector<ClientInfo> copies;
  copies.reserve(list->clients.size());
  for (const ClientEntry& entry : list->clients) {
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

std::size_t LiveClientCount() {
  PurgeClients();
  SingletonAccess<ClientRegistry> list(registry);
  std::size_t live = 0;
  for (const ClientEntry& entry : list->clients) {
    if (entry.connectionId != kFinishedConnection) ++live;
  }
  return live;
}

ClientCount CountLiveClients(const std::string& address) {
  PurgeClients();
  SingletonAccess<ClientRegistry> list(registry);
  ClientCount count;
  for (const ClientEntry& entry : list->clients) {
    if (entry.connectionId == kFinishedConnection) continue;
    ++count.total;
    if (entry.peerAddress == address) ++count.fromAddress;
  }
  return count;
}

bool KickOldestIdleClient() {
  SingletonAccess<ClientRegistry> list(registry);
  ClientEntry* oldest = nullptr;
  int64_t oldestSince = 0;
  for (ClientEntry& entry : list->clients) {
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

std::string PeerAddressOf(uint32_t connectionId) {
  SingletonAccess<ClientRegistry> list(registry);
  if (ClientEntry* entry = FindEntry(*list, connectionId)) return entry->peerAddress;
  return "";
}

void DestroyClientRegistry() {
  std::vector<ClientEntry> all;
  {
    SingletonAccess<ClientRegistry> list(registry);
    for (ClientEntry& entry : list->clients) {
      entry.connection->Kick();
      entry.connectionId = kFinishedConnection;
    }
    all = std::move(list->clients);
    list->clients.clear();
  }
  DeleteEntries(all);
  DestroyConnectionPool();
  registry.Destroy();
  DestroyDisplayQueue();
}
