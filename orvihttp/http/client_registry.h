#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "orvihttp/http/socket_io.h"

// The process-wide list of the server's connections. Every call takes the registry's
// lock. Threads are never joined under it: a purge moves finished entries
// out under the lock and deletes them (joining their threads) after.

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

// Numbers, registers and starts a Connection for an accepted socket from
// `peerAddress` (the socket is closed when that fails).
void AddClient(SocketHandle socket, const std::string& peerAddress);
// The entry of that number becomes finished.
void MarkClientFinished(uint32_t connectionId);
// Closes that client's socket at once and ends its thread; its entry is
// finished and goes at the next purge. No effect for an unknown number.
void KickClient(uint32_t connectionId);
// Deletes the finished entries; the others keep their order.
void PurgeClients();
// Purges, then copies the list.
std::vector<ClientInfo> GetClients();
// Purges, then counts the entries that have not finished.
std::size_t LiveClientCount();
// Purges, then counts the live entries: all of them, and those of `address`.
struct ClientCount {
  std::size_t total = 0;
  std::size_t fromAddress = 0;
};
ClientCount CountLiveClients(const std::string& address);
// Kicks the connection that has waited longest for its next request between
// two requests; false when none is idle. Makes room for a new client.
bool KickOldestIdleClient();
// "" when no entry has that number.
std::string PeerAddressOf(uint32_t connectionId);
// Ends every connection, waits for their threads and ends the registry and
// the display-message queue; the next use starts afresh (numbers from 0 again).
void DestroyClientRegistry();
