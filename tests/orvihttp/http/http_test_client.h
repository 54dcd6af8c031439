#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "orvihttp/http/socket_io.h"

// A plain TCP client on loopback for black-box tests of the server.
class HttpTestClient {
 public:
  HttpTestClient() = default;
  explicit HttpTestClient(int port) { Connect(port); }
  ~HttpTestClient() { Close(); }
  HttpTestClient(const HttpTestClient&) = delete;
  HttpTestClient& operator=(const HttpTestClient&) = delete;

  bool Connect(int port);
  // To the machine's IPv4 address `address` instead of 127.0.0.1.
  bool Connect(const std::string& address, int port);
  bool IsConnected() const { return socket_ != kInvalidSocket; }
  bool Send(const std::string& bytes);
  // Reads until `count` bytes have come, the peer closes, or `milliseconds`
  // pass without data.
  std::string Read(std::size_t count, uint32_t milliseconds);
  // One response: the header block and, unless `headOnly`, as many body bytes
  // as its Content-Length says.
  std::string ReadResponse(bool headOnly = false, uint32_t milliseconds = 5000);
  // A chunked body after ReadResponse(true) took its head: the body's bytes
  // without the framing; `whole` tells whether its last chunk came in time.
  std::string ReadChunkedBody(uint32_t milliseconds, bool* whole);
  // Everything until the peer closes; `closed` tells whether it did in time.
  std::string ReadToEnd(uint32_t milliseconds, bool* closed);
  // True when the peer closes (or resets) within the time, with no data.
  bool ClosedWithoutData(uint32_t milliseconds);
  void Close();

 private:
  // One wait and receive into pending_: >0 bytes, 0 closed, -1 timeout or error.
  int Fill(uint32_t milliseconds);

  SocketHandle socket_ = kInvalidSocket;
  std::string pending_;
  bool peerClosed_ = false;
};

// A TCP port nothing listens on right now (bound to port 0 and released).
int FindFreePort();

// A response with its Date header's value replaced by "<date>", after
// checking that it is the current time in the HTTP form (strftime
// "%a, %d %b %Y %H:%M:%S GMT"). Adds a failure when it is not.
std::string WithoutDate(const std::string& response);

// The Content-Length value of a response's header block, -1 when none.
int64_t ContentLengthOf(const std::string& response);
// The body part after the header block.
std::string BodyOf(const std::string& response);

// Sends one request on a fresh connection and reads one response.
std::string Exchange(int port, const std::string& request, bool headOnly = false);
// A GET of `uri` over HTTP/1.1 on a fresh connection.
std::string Get(int port, const std::string& uri);
