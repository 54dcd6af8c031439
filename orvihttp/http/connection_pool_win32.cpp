#include "orvihttp/http/connection_pool.h"

// Winsock offers no readiness queue that suits these sockets (a completion
// port needs overlapped requests), so each connection keeps its own thread.

bool ServeInConnectionPool(Connection*) {
  return false;
}

void LeaveConnectionPool(Connection*) {}

void DestroyConnectionPool() {}
