#include <windows.h>
#include <winsock2.h>

#include "foundation/message_box.h"
#include "foundation/winsock_startup.h"

WinsockStartup::WinsockStartup() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    ShowMessageBox("Winsock 2.2 not available!", "Fatal Error", MessageIcon::Warning);
    return;
  }
  if (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 2) {
    ShowMessageBox("Winsock 2.2 not available!", "Fatal Error", MessageIcon::Warning);
    WSACleanup();
    return;
  }
  ok_ = true;
}

// Runs when the image is unloaded or the process exits.
WinsockStartup::~WinsockStartup() {
  if (ok_) WSACleanup();
}
