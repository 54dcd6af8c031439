#include "tests/orvihttp/tls/tls_loopback.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

// Long enough for a slow Wine start, short enough that a hang fails.
constexpr uint32_t kWaitMs = 20000;

// Waits for what the session asked for; false when nothing came in time.
bool WaitFor(SocketHandle socket, TlsStatus status) {
  return WaitForSocket(socket, status == TlsStatus::WantsWrite, kWaitMs, nullptr) ==
         SocketWait::Ready;
}

bool Waiting(TlsStatus status) {
  return status == TlsStatus::WantsRead || status == TlsStatus::WantsWrite;
}

}  // namespace

OneClientTlsServer::OneClientTlsServer(const TlsServerConfig& config, std::string reply,
                                       bool readLine)
    : config_(config), reply_(std::move(reply)), readLine_(readLine) {
  EXPECT_EQ(OpenListeningSocket(0, &listening_), ListenResult::Listening);
  port_ = SocketLocalPort(listening_);
  thread_ = std::thread([this] { Serve(); });
}

OneClientTlsServer::~OneClientTlsServer() {
  if (thread_.joinable()) {
    thread_.join();
  }
  CloseSocket(listening_);
}

const ServedConnection& OneClientTlsServer::Finish() {
  if (thread_.joinable()) {
    thread_.join();
  }
  return served_;
}

void OneClientTlsServer::Serve() {
  if (WaitForClient(listening_, kWaitMs, nullptr) != SocketWait::Ready) {
    served_.failure = "no client came";
    return;
  }
  bool failed = false;
  SocketHandle client = AcceptConnection(listening_, &failed);
  if (client == kInvalidSocket) {
    served_.failure = "accept failed";
    return;
  }
  SocketTransport transport(client);
  TlsSession session(config_, transport);
  TlsStatus status;
  while (Waiting(status = session.Handshake()) && WaitFor(client, status)) {
  }
  served_.handshake = status;
  served_.failure = session.FailureText();
  if (status == TlsStatus::Done) {
    served_.version = session.Version();
    served_.alpn = session.Alpn();
    char buffer[4096];
    while (readLine_ && served_.received.find('\n') == std::string::npos) {
      TlsResult read = session.Read(buffer, sizeof buffer);
      if (read.status == TlsStatus::Done) {
        served_.received.append(buffer, read.bytes);
      } else if (!Waiting(read.status) || !WaitFor(client, read.status)) {
        break;
      }
    }
    size_t sent = 0;
    TlsResult write;
    while ((write = session.Write(reply_.data() + sent, reply_.size() - sent)).status !=
           TlsStatus::Done) {
      sent += write.bytes;
      if (!Waiting(write.status) || !WaitFor(client, write.status)) {
        break;
      }
    }
    while (Waiting(status = session.Close()) && WaitFor(client, status)) {
    }
    served_.closedCleanly = write.status == TlsStatus::Done && status == TlsStatus::Done;
  }
  // After a session, wait for the client to close its end before closing
  // ours: a socket closed with unread bytes resets the connection, which can
  // throw away what the client has not read yet. A failed handshake is
  // closed at once, as the server will.
  ShutdownSocket(client, true);
  char drain[4096];
  while (served_.handshake == TlsStatus::Done &&
         WaitForSocket(client, false, kWaitMs, nullptr) == SocketWait::Ready &&
         ReceiveSome(client, drain, sizeof drain).result == SocketResult::Done) {
  }
  CloseSocket(client);
}
