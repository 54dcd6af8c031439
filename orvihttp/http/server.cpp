#include "orvihttp/http/server.h"

#include "orvihttp/logging/log_file.h"

Server::Server(ServerSettingsSource settings)
    : settings_(std::move(settings)), clients_(*this), listener_(*this) {}

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
