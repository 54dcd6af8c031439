#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "orvihttp/http/connection_pool.h"
#include "orvihttp/http/socket_io.h"

// The number that marks a finished entry.
inline constexpr uint32_t kFinishedConnection = 0xFFFFFFFFu;

// What the Info page shows of one connection: a copy.
struct ClientInfo {
  uint32_t connectionId = 0;  // kFinishedConnection once it has ended
  int64_t connectTime = 0;    // seconds since 1970
  std::string peerAddress;
  std::string currentActivity;
  uint32_t currentRate = 0;  // bytes per second
};

class Connection;
class TlsServerConfig;
class Server;

// The list of one server's connections. Every call takes the registry's
// lock. Threads are never joined under it: a purge moves finished entries
// out under the lock and deletes them (joining their threads) after.
class ClientRegistry {
 public:
  explicit ClientRegistry(Server& server);
  // Ends every connection (see EndAll).
  ~ClientRegistry();
  ClientRegistry(const ClientRegistry&) = delete;
  ClientRegistry& operator=(const ClientRegistry&) = delete;

  // Numbers, registers and starts a Connection for an accepted socket from
  // `peerAddress`, speaking TLS under `tls` when it is set (the socket is
  // closed when that fails).
  void Add(SocketHandle socket, const std::string& peerAddress,
           std::shared_ptr<const TlsServerConfig> tls = nullptr);
  // The entry of that number becomes finished.
  void MarkFinished(uint32_t connectionId);
  // Closes that client's socket at once and ends its thread; its entry is
  // finished and goes at the next purge. No effect for an unknown number.
  void Kick(uint32_t connectionId);
  // Deletes the finished entries; the others keep their order.
  void Purge();
  // Purges, then copies the list.
  std::vector<ClientInfo> Clients();
  // Purges, then counts the entries that have not finished.
  std::size_t LiveCount();
  // Purges, then counts the live entries: all of them, and those of `address`.
  struct Count {
    std::size_t total = 0;
    std::size_t fromAddress = 0;
  };
  Count CountLive(const std::string& address);
  // Kicks the connection that has waited longest for its next request between
  // two requests; false when none is idle. Makes room for a new client.
  bool KickOldestIdle();
  // Purges, then counts the connections that KickOldestIdle may choose from.
  std::size_t IdleCount();
  // "" when no entry has that number.
  std::string PeerAddressOf(uint32_t connectionId);
  // Ends every connection and waits for their threads; the next connection
  // starts afresh (numbers from 0 again).
  void EndAll();

  ConnectionPool& pool() { return pool_; }

  // One connection as the registry keeps it (its own business).
  struct Entry;

 private:
  Entry* Find(uint32_t connectionId);
  // Moves the finished entries out; the caller deletes them after the lock.
  std::vector<Entry> TakeFinished();

  Server& server_;
  // Recursive: a connection whose thread cannot start marks itself finished
  // from inside Add.
  std::recursive_mutex mutex_;
  uint32_t nextConnectionId_ = 0;
  std::vector<Entry> entries_;
  ConnectionPool pool_;
};
