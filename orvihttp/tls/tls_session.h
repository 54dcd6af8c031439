#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "orvihttp/tls/tls_server_config.h"
#include "orvihttp/tls/tls_transport.h"

struct TlsSessionParts;

enum class TlsStatus {
  Done,        // finished; for Read and Write, `bytes` says how much moved
  WantsRead,   // call again once the transport can receive
  WantsWrite,  // call again once the transport can send
  Closed,      // Read: the client ended the stream (close-notify or plain end)
  Failed,      // the session is unusable; FailureText says why; close the socket
};

struct TlsResult {
  TlsStatus status = TlsStatus::Failed;
  size_t bytes = 0;
};

// The server's side of one TLS connection over a non-blocking transport. It
// never waits: each call does what the transport allows now and says what it
// waits for. One thread at a time drives a session; the config and transport
// must outlive it.
//
// The order of use: Handshake until Done; then Read and Write as the
// request and response need; Close to send the close-notify; then close the
// socket. A Failed handshake (a client of an old TLS version, or plain HTTP
// on the TLS port) means: close the socket without an answer.
class TlsSession {
 public:
  TlsSession(const TlsServerConfig& config, TlsTransport& transport);
  ~TlsSession();
  TlsSession(const TlsSession&) = delete;
  TlsSession& operator=(const TlsSession&) = delete;

  // Drives the handshake on: Done, WantsRead, WantsWrite or Failed.
  TlsStatus Handshake();
  // Up to `size` decrypted bytes: Done with bytes > 0, WantsRead (or, while
  // mbedTLS answers a post-handshake message, WantsWrite), Closed or Failed.
  TlsResult Read(char* buffer, size_t size);
  // Encrypts and sends `data` in records of the largest size. Done when all
  // of it was sent; WantsWrite with the bytes sent so far when the transport
  // filled up. After WantsWrite call Write again with the rest (`data +
  // bytes`, at least as long as before) before anything else: mbedTLS has
  // already sealed the next record and sends it first.
  TlsResult Write(const char* data, size_t size);
  // Sends the close-notify alert: Done, WantsWrite (call again) or Failed.
  TlsStatus Close();
  // True while decrypted bytes wait in the session, which the socket's
  // readiness cannot show: read them before waiting on the socket again.
  bool HasPendingBytes() const;

  // Why the last call failed, for the log.
  std::string FailureText() const;
  // After the handshake: "TLSv1.3", the suite's name, and the ALPN protocol
  // agreed ("" when the client named none).
  std::string Version() const;
  std::string CipherSuite() const;
  std::string Alpn() const;

 private:
  TlsStatus StatusOf(int result);

  std::unique_ptr<TlsSessionParts> parts_;
  TlsTransport& transport_;
};
