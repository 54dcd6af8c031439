#include "orvihttp/http/connection_pool.h"

// Winsock offers no readiness queue that suits these sockets (a completion
// port needs overlapped requests), so each connection keeps its own thread.

struct ConnectionPool::Queue {};

ConnectionPool::ConnectionPool(std::function<void()>) {}

ConnectionPool::~ConnectionPool() = default;

bool ConnectionPool::Serve(Connection*) {
  return false;
}

void ConnectionPool::Leave(Connection*) {}

void ConnectionPool::End() {}
