#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "orvihttp/http/server.h"

// What the Info page shows and does, computed from copies of the model so the
// page's window code only moves texts into controls.

// The client list: the peer address of every connection that has one, in
// registry order. Line n of the list is entry n of this.
std::vector<std::string> ClientListRows(const std::vector<ClientInfo>& clients);

// The connection behind line `line` of a list that shows `rows`: the line's
// entry among the clients that have an address, and only while that entry
// still has the address the line shows. Nothing for no selection (-1), a
// line past the end or a registry that moved on.
std::optional<ClientInfo> ClientOnLine(const std::vector<ClientInfo>& clients,
                                       const std::vector<std::string>& rows, int line);

// The three detail fields of the selected client.
struct ClientDetails {
  std::string connectionTime;
  std::string activity;
  std::string bandwidth;
};
ClientDetails DetailsOf(const ClientInfo& client, int64_t now);

// The "Server activity" frame.
struct ServerActivity {
  std::string status;
  std::string uptime;
  bool startEnabled = false;
  bool stopEnabled = false;
};
ServerActivity ServerActivityOf(bool listening, int64_t startTime, int64_t now);

// The rate text of the sum of every connection's rate (wrapping at 2^32).
std::string TotalBandwidthText(const std::vector<ClientInfo>& clients);

// The line naming the addresses that guessed wrong too often and may not
// sign in for a while: "Locked out of sign-in: 10.0.0.5, 10.0.0.9"; "" when
// none is.
std::string LockedOutText(const std::vector<std::string>& addresses);

// The questions asked before a kick and a ban.
std::string KickQuestion(const std::string& address);
std::string BanQuestion(const std::string& address);

// Kicks the connection and bans the address it had. A connection that ended
// meanwhile has no address any more; then nothing is banned. Returns the
// banned address, or "" when there was none.
std::string BanConnection(Server& server, uint32_t connectionId);
