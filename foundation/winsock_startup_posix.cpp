#include <signal.h>

#include "foundation/winsock_startup.h"

// There is nothing to start; a send to a peer that has gone must fail with an
// error rather than kill the process.
WinsockStartup::WinsockStartup(StartupFailureReport) {
  signal(SIGPIPE, SIG_IGN);
  ok_ = true;
}

WinsockStartup::~WinsockStartup() = default;
