#pragma once

#include <string>
#include <vector>

// The names this machine is reached by, which a certificate made for the
// user must carry.

// The machine's host name in lower case ("" when the system gives none).
std::string LocalHostName();
// Every IPv4 address of the machine's interfaces that are up, the loopback
// address included, as dotted-decimal text.
std::vector<std::string> LocalIpv4Addresses();
