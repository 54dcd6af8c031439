#include "host/host_info.h"

std::string HostTitle() {
  return std::string("Trellan") + " v" + "2" + "." + "0" + "." + "2";
}

std::string AboutText() {
  return HostTitle() + "\r\n\r\nA tray host for plugins.\r\nMade by Quintarvo.";
}
