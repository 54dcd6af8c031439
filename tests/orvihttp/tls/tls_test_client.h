#pragma once

#include <cstdint>
#include <string>

// An mbedTLS client of the tests' own, in the test process on every
// platform: an implementation independent of the server's sessions, which
// the Windows build's tests under Wine can run where no openssl or curl can.

// What the client saw.
struct TlsClientOutcome {
  int handshake = -1;
  uint32_t verifyFlags = ~0u;
  std::string version;
  std::string alpn;
  std::string received;
  bool closeNotify = false;
};

enum class TlsTestVersion { Tls12, Tls13 };

// Connects to 127.0.0.1:`port`, trusts only `caFile`, checks the name
// "localhost", offers ALPN http/1.1 and versions from 1.2 to `maxVersion`,
// sends `line` and reads until the server closes.
TlsClientOutcome RunTlsClient(int port, const std::string& caFile, TlsTestVersion maxVersion,
                              const std::string& line);
