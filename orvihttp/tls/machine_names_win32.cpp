#include <windows.h>
#include <winsock2.h>

#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>

#include "orvihttp/tls/machine_names.h"

std::string LocalHostName() {
  char name[256] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameExA(ComputerNameDnsHostname, name, &size)) {
    return "";
  }
  std::string result(name, size);
  std::transform(result.begin(), result.end(), result.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return result;
}

std::vector<std::string> LocalIpv4Addresses() {
  // The interface list of Winsock itself, so no further DLL is needed.
  std::vector<std::string> addresses;
  SOCKET probe = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, 0);
  if (probe == INVALID_SOCKET) {
    return addresses;
  }
  INTERFACE_INFO interfaces[64];
  DWORD bytes = 0;
  if (WSAIoctl(probe, SIO_GET_INTERFACE_LIST, nullptr, 0, interfaces, sizeof interfaces, &bytes,
               nullptr, nullptr) == 0) {
    for (DWORD i = 0; i < bytes / sizeof(INTERFACE_INFO); ++i) {
      if ((interfaces[i].iiFlags & IFF_UP) == 0 ||
          interfaces[i].iiAddress.Address.sa_family != AF_INET) {
        continue;
      }
      char text[INET_ADDRSTRLEN] = {};
      if (inet_ntop(AF_INET, &interfaces[i].iiAddress.AddressIn.sin_addr, text, sizeof text) !=
          nullptr) {
        addresses.push_back(text);
      }
    }
  }
  closesocket(probe);
  return addresses;
}
