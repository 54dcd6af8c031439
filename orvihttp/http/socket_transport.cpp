#include "orvihttp/http/socket_transport.h"

#include <algorithm>
#include <climits>

namespace {

TransportResult FromSocket(const SocketTransfer& transfer) {
  switch (transfer.result) {
    case SocketResult::Done:
      return {TransportStatus::Done, static_cast<std::size_t>(transfer.bytes)};
    case SocketResult::WouldBlock:
      return {TransportStatus::WouldBlock, 0};
    case SocketResult::Closed:
      return {TransportStatus::Closed, 0};
    default:
      return {TransportStatus::Failed, 0};
  }
}

int SocketLength(std::size_t size) {
  return static_cast<int>(std::min<std::size_t>(size, INT_MAX));
}

}  // namespace

TransportResult SocketTransport::Send(const char* data, std::size_t size) {
  if (gathering_) {
    gathered_.append(data, size);
    return {TransportStatus::Done, size};
  }
  return FromSocket(SendSome(socket_, data, SocketLength(size)));
}

TransportResult SocketTransport::Receive(char* buffer, std::size_t size) {
  return FromSocket(ReceiveSome(socket_, buffer, SocketLength(size)));
}
