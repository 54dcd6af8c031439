#include "orvihttp/ui/info_page_model.h"

#include "orvihttp/http/ip_blacklist.h"
#include "orvihttp/ui/activity_text.h"

std::vector<std::string> ClientListRows(const std::vector<ClientInfo>& clients) {
  std::vector<std::string> rows;
  for (const ClientInfo& client : clients) {
    if (!client.peerAddress.empty()) rows.push_back(client.peerAddress);
  }
  return rows;
}

std::optional<ClientInfo> ClientOnLine(const std::vector<ClientInfo>& clients,
                                       const std::vector<std::string>& rows, int line) {
  if (line < 0 || static_cast<std::size_t>(line) >= rows.size()) return std::nullopt;
  // Lines skip the connections without an address, so count only the others;
  // a plain registry position would name the wrong client once one of those
  // sits in front.
  int position = 0;
  for (const ClientInfo& client : clients) {
    if (client.peerAddress.empty()) continue;
    if (position++ != line) continue;
    if (client.peerAddress != rows[line]) return std::nullopt;
    return client;
  }
  return std::nullopt;
}

ClientDetails DetailsOf(const ClientInfo& client, int64_t now) {
  ClientDetails details;
  details.connectionTime = DurationText(now - client.connectTime);
  if (client.currentActivity.empty()) {
    details.activity = "Idle";
  } else {
    details.activity = "Downloading " + client.currentActivity;
    details.bandwidth = RateText(client.currentRate);
  }
  return details;
}

ServerActivity ServerActivityOf(bool listening, int64_t startTime, int64_t now) {
  ServerActivity activity;
  activity.status = listening ? "Server is running" : "Server is not running";
  if (listening) activity.uptime = DurationText(now - startTime);
  activity.startEnabled = !listening;
  activity.stopEnabled = listening;
  return activity;
}

std::string TotalBandwidthText(const std::vector<ClientInfo>& clients) {
  uint32_t total = 0;
  for (const ClientInfo& client : clients) total += client.currentRate;
  return RateText(total);
}

std::string LockedOutText(const std::vector<std::string>& addresses) {
  std::string text;
  for (const std::string& address : addresses) {
    text += (text.empty() ? "Locked out of sign-in: " : ", ") + address;
  }
  return text;
}

std::string KickQuestion(const std::string& address) {
  return "Really kick client '" + address + "'?";
}

std::string BanQuestion(const std::string& address) {
  return "Really ban IP '" + address + "'?";
}

std::string BanConnection(Server& server, uint32_t connectionId) {
  std::string address = server.clients().PeerAddressOf(connectionId);
  server.clients().Kick(connectionId);
  // An empty entry would ban nothing a peer can have and only clutter the list.
  if (!address.empty()) server.blacklist().Ban(address);
  return address;
}
