#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "orvihttp/config/server_settings.h"
#include "orvihttp/content/response.h"
#include "orvihttp/http/client_socket.h"
#include "orvihttp/http/download_shares.h"
#include "orvihttp/http/request.h"
#include "orvihttp/http/socket_io.h"

class Server;

// The one way out for every response of one connection: sends the head and
// the body, the body paced by the download cap, then writes the access-log
// line, the Log-page line and the binary-log records. Knows nothing of how
// requests are read or answered.
class ResponseSender {
 public:
  // What a transfer reads and sends in one step.
  static constexpr std::size_t kTransferChunk = 64 * 1024;
  // The step of an uncapped download while memory allows (see TransferBody).
  static constexpr std::size_t kLargeTransferChunk = 1024 * 1024;

  ResponseSender(Server& server, ClientSocket& socket, SocketWakeup& wakeup,
                 const std::string& peerAddress, DownloadSlot& share);

  // Sends `response` to `request` under `settings`; a download is recorded
  // under `name`, and the access log names `account` ("" for nobody). False
  // when the connection must close after it: the body ends with the
  // connection, or fewer bytes went out than the head announced.
  bool Send(Response&& response, const Request& request, const ServerSettings& settings,
            const std::string& name, const std::string& account = "");

 private:
  // Sends `head` with the first piece of the body and then the rest, paced
  // by the download cap; the number of body bytes sent. `framing` is what a
  // framed body adds to each piece (see ChunkedResponseBody::kFraming).
  uint64_t TransferBody(BodySource& source, uint64_t size, std::string head, int32_t maxDown,
                        std::size_t framing = 0);

  Server& server_;
  ClientSocket& socket_;
  SocketWakeup& wakeup_;
  const std::string& peerAddress_;
  DownloadSlot& share_;
};
