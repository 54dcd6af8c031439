#include "orvihttp/http/server.h"

#include "orvihttp/logging/log_file.h"

Server::Server(ServerSettingsSource settings, ServerSettingsGeneration generation)
    : settings_(std::move(settings)),
      generation_(std::move(generation)),
      clients_(*this),
      listener_(*this) {}

void Server::RefreshSettings(std::shared_ptr<const ServerSettings>& held,
                             uint64_t& heldGeneration) const {
  if (!generation_) {
    held = settings_();
    return;
  }
  // Read before the snapshot: a change in between makes the next look
  // take it again, never miss it.
  const uint64_t now = generation_();
  if (held && heldGeneration == now) return;
  held = settings_();
  heldGeneration = now;
}

Server::~Server() {
  StopServing();
}

void Server::StopServing() {
  listener_.Stop();
  clients_.EndAll();
  phpPrograms_.EndAll();
  // Lines held back while the connections were busy.
  FlushLogs(logs_);
}
