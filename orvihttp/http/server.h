#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "orvihttp/access/access_gate.h"
#include "orvihttp/config/server_settings.h"
#include "orvihttp/content/php_process_pool.h"
#include "orvihttp/content/virtual_directory.h"
#include "orvihttp/http/client_registry.h"
#include "orvihttp/http/download_shares.h"
#include "orvihttp/http/ip_blacklist.h"
#include "orvihttp/http/listener.h"
#include "orvihttp/logging/server_logs.h"

// Where a server takes its settings from: a snapshot as they are now. The
// plugin's server follows the settings store; a test may give each server
// settings of its own.
using ServerSettingsSource = std::function<std::shared_ptr<const ServerSettings>()>;
// A number that changes whenever what the source gives changes.
using ServerSettingsGeneration = std::function<uint64_t()>;

// One running server and everything it serves with: its tree, its bans, its
// logs and Log-page lines, its connections and the share of the download cap
// among them, and the listener that admits them. Connections and pages reach
// these through the server they were given, never through a global, so two
// servers can run side by side in one process.
//
// Made stopped: Start the listener to serve. Deleting the server stops the
// listener first, then ends every connection (waiting for their threads),
// and only then lets go of what they used.
class Server {
 public:
  // Without a generation every look at the settings takes a fresh snapshot.
  explicit Server(ServerSettingsSource settings, ServerSettingsGeneration generation = nullptr);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // The settings as they are now: one snapshot, read by plain fields.
  std::shared_ptr<const ServerSettings> Settings() const { return settings_(); }
  // Makes `held` the settings as they are now, unless it holds them already
  // (`heldGeneration` goes with it). Every request looks: when nothing
  // changed, that is one read, and no count that the other threads share
  // moves.
  void RefreshSettings(std::shared_ptr<const ServerSettings>& held, uint64_t& heldGeneration) const;

  ServerLogs& logs() { return logs_; }
  VirtualDirectory& directory() { return directory_; }
  IpBlacklist& blacklist() { return blacklist_; }
  AccessGate& access() { return access_; }
  DownloadShares& downloads() { return downloads_; }
  // The PHP programs kept running while PHPMode is FastCGI.
  PhpProcessPool& phpPrograms() { return phpPrograms_; }
  ClientRegistry& clients() { return clients_; }
  Listener& listener() { return listener_; }

  // Stops the listener, ends every connection and the PHP programs kept
  // running; the server can start again.
  void StopServing();

 private:
  const ServerSettingsSource settings_;
  const ServerSettingsGeneration generation_;
  // Made in this order and ended in the reverse one: what runs threads goes
  // first, so no connection is left using an object already gone.
  ServerLogs logs_;
  VirtualDirectory directory_;
  IpBlacklist blacklist_;
  AccessGate access_;
  DownloadShares downloads_;
  PhpProcessPool phpPrograms_;
  ClientRegistry clients_;
  Listener listener_;
};
