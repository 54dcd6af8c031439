#include <windows.h>
#include <winsock2.h>

#include "foundation/winsock_startup.h"

WinsockStartup::WinsockStartup(StartupFailureReport report) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    if (report) report("Winsock 2.2 not available!", "Fatal Error");
    return;
  }
  if (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 2) {
    if (report) report("Winsock 2.2 not available!", "Fatal Error");
    WSACleanup();
    return;
  }
  ok_ = true;
}

// Runs when the image is unloaded or the process exits.
WinsockStartup::~WinsockStartup() {
  if (ok_) WSACleanup();
}
