#include "orvihttp/http/server.h"

Server::Server(ServerSettingsSource settings)
    : settings_(std::move(settings)), clients_(*this), listener_(*this) {}

Server::~Server() {
  StopServing();
}

void Server::StopServing() {
  listener_.Stop();
  clients_.EndAll();
  phpPrograms_.EndAll();
}
