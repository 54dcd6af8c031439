#include "orvihttp/http/response_sender.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "foundation/clock.h"
#include "orvihttp/content/http_date.h"
#include "orvihttp/http/chunked_response_body.h"
#include "orvihttp/http/memory_budget.h"
#include "orvihttp/http/response_head.h"
#include "orvihttp/http/server.h"
#include "orvihttp/http/transfer_pacer.h"
#include "orvihttp/logging/access_log.h"
#include "orvihttp/logging/binary_log.h"

ResponseSender::ResponseSender(Server& server, ClientSocket& socket, SocketWakeup& wakeup,
                               const std::string& peerAddress, DownloadSlot& share)
    : server_(server), socket_(socket), wakeup_(wakeup), peerAddress_(peerAddress), share_(share) {}

bool ResponseSender::Send(Response&& response, const Request& request,
                          const ServerSettings& settings, const std::string& name,
                          const std::string& account) {
  const bool headOnly = request.method == Request::Method::Head;
  // A body of unknown length keeps the connection open for an HTTP/1.1
  // client when it may go out in chunks; HTTP/1.0 has no chunks.
  const bool chunked = response.stream && response.untilClose && response.chunkedForHttp11 &&
                       request.version == "HTTP/1.1";
  // A small body goes out in one piece with the head: room for both at once.
  constexpr uint64_t kSmallBody = 16 * 1024;
  const bool small =
      !headOnly && !response.untilClose && response.stream && response.streamSize <= kSmallBody;
  // A small body already in memory, without a cap to pace it, is sent from
  // where it lies together with the head, in one call and without a copy.
  std::string_view inMemory;
  if (small && settings.maxDown <= 0) {
    inMemory = response.stream->InMemory();
    inMemory = inMemory.size() >= response.streamSize ? inMemory.substr(0, response.streamSize)
                                                      : std::string_view();
  }
  const std::size_t bodyRoom =
      small && inMemory.empty() ? static_cast<std::size_t>(response.streamSize) : 0;
  std::string head = ResponseHead(response, CurrentHttpDateView(), chunked, bodyRoom);
  bool closeAfter = false;
  uint64_t bodyBytes = 0;
  // The binary-log records of this response, written together in one write.
  std::string records;
  // Room for both records of a download at once.
  records.reserve(64 + 2 * peerAddress_.size() + name.size());
  AppendRequestOutcomeRecord(records, response.status > 399, peerAddress_);
  if (response.stream) {
    // The head of a streamed body travels with its first piece, which may be
    // long in coming under the cap, so the record is written before it. An
    // uncapped body of one step is out at once; its record waits for the next.
    if (response.untilClose || response.streamSize > kTransferChunk || settings.maxDown > 0) {
      AppendBinaryLogRecords(server_.logs(), settings, records);
      records.clear();
    }
    // Without a length, closing the connection is what ends the body.
    if (response.untilClose && !chunked) closeAfter = true;
    const uint64_t size = response.untilClose ? UINT64_MAX : response.streamSize;
    if (headOnly) {
      socket_.Send(head);
      response.stream.reset();
    } else if (!inMemory.empty()) {
      share_.rateCeiling.store(0, std::memory_order_relaxed);
      share_.allowedRate.store(0, std::memory_order_relaxed);
      // As for any step, the bytes count even when the send fails.
      bodyBytes = inMemory.size();
      if (!socket_.Send(head, inMemory)) closeAfter = true;
      response.stream.reset();
    } else if (chunked) {
      ChunkedResponseBody chunks(*response.stream);
      TransferBody(chunks, size, std::move(head), settings.maxDown, ChunkedResponseBody::kFraming);
      bodyBytes = chunks.PayloadBytes();
      // A body cut short leaves the client waiting for the rest.
      if (!chunks.Finished()) closeAfter = true;
      response.stream.reset();
      share_.currentRate.store(0, std::memory_order_relaxed);
    } else {
      bodyBytes = TransferBody(*response.stream, size, std::move(head), settings.maxDown);
      if (bodyBytes < size) closeAfter = true;  // the client was promised more
      response.stream.reset();
      share_.currentRate.store(0, std::memory_order_relaxed);
    }
  } else {
    // Head and body in one send: the same bytes, one packet fewer.
    socket_.Send(headOnly ? head : head + response.body);
    if (!headOnly) bodyBytes = response.body.size();
  }
  LogResponse(server_.logs(), settings, peerAddress_, request.requestLine, response.status,
              static_cast<int64_t>(bodyBytes), account);
  if (response.countsAsDownload && !headOnly) {
    AppendFileDownloadedRecord(records, peerAddress_, name, bodyBytes);
  }
  AppendBinaryLogRecords(server_.logs(), settings, records);
  return !closeAfter;
}

// Streams the body in steps of at most kTransferChunk (or kLargeTransferChunk) bytes, as fast as
// the pacer lets it; every measurement of the pacer re-shares the cap among the running downloads.
uint64_t ResponseSender::TransferBody(BodySource& source, uint64_t size, std::string head,
                                      int32_t maxDown, std::size_t framing) {
  if (maxDown < 0) maxDown = 0;
  int32_t startRate = 0;
  if (maxDown > 0) {
    startRate = server_.downloads().BeginCappedTransfer(share_, maxDown);
  } else {
    share_.rateCeiling.store(0, std::memory_order_relaxed);
    share_.allowedRate.store(0, std::memory_order_relaxed);
  }
  struct EndOfTransfer {
    DownloadSlot& slot;
    bool capped;
    ~EndOfTransfer() {
      if (capped) DownloadShares::EndCappedTransfer(slot);
    }
  } endOfTransfer{share_, maxDown > 0};
  TransferPacer pacer(startRate, TimeMs, [this](uint32_t ms) { return wakeup_.Sleep(ms); });

  // Larger steps mean a sixteenth of the calls per byte (under Wine each send
  // is three round trips to the wine server). Only uncapped downloads need
  // them, and they take their memory from the allowance only while at least
  // half of it is free, so that many slow readers of large files cannot
  // take much memory nor leave request bodies without room.
  std::size_t chunk = kTransferChunk;
  MemoryReservation largeSteps;
  if (maxDown == 0 && size > kTransferChunk &&
      ReservedMemory() + kLargeTransferChunk <= kDefaultMemoryBudget / 2 &&
      largeSteps.Reserve(kLargeTransferChunk)) {
    chunk = kLargeTransferChunk;
  }
  // Sized for this body and given back after it: thousands of idle
  // keep-alive connections must not each hold a chunk of memory.
  // A framed body gets room for its framing on top, so each of its pieces
  // is a whole step (a client reading in steps of a power of two then finds
  // them whole in one chunk).
  const std::size_t bufferSize =
      static_cast<std::size_t>(std::min<uint64_t>(chunk, size)) + framing;
  std::unique_ptr<char[]> bufferOwner(new char[bufferSize == 0 ? 1 : bufferSize]);
  char* buffer = bufferOwner.get();
  // The buffer stays as it is from one Read to the next, so the body may
  // still work on its bytes while they are sent; it is released before the
  // buffer is freed, whichever way the transfer ends.
  source.KeepBuffersUntilNextRead();
  struct BufferRelease {
    BodySource& source;
    ~BufferRelease() { source.ReleaseBuffer(); }
  } bufferRelease{source};
  uint64_t sent = 0;
  bool ok = true;
  // A client that takes its steps quickly gets larger ones, up to `chunk`;
  // a slow one keeps small steps, so its rate on the Clients page stays fresh.
  std::size_t step = kTransferChunk;
  while (ok && sent < size) {
    const uint64_t want = pacer.StepSize(std::min<uint64_t>(step, size - sent)) + framing;
    const uint32_t stepStart = TimeMs();
    const std::size_t read = source.Read(buffer, static_cast<std::size_t>(want));
    if (read == 0) break;  // the file shrank or cannot be read
    if (!head.empty()) {
      // The header block goes out with the first piece of the body.
      head.append(buffer, read);
      ok = socket_.Send(head);
      head.clear();
      head.shrink_to_fit();
    } else {
      ok = socket_.Send(buffer, read);
    }
    sent += read;
    const uint32_t stepTook = TimeMs() - stepStart;
    if (stepTook < 20 && step < chunk) step *= 2;
    if (stepTook > 250 && step > kTransferChunk) step /= 2;
    if (pacer.Sent(read)) {
      share_.currentRate.store(pacer.Rate(), std::memory_order_relaxed);
      // The cap as it is now: an Apply may have changed it during the transfer.
      server_.downloads().Rebalance(server_.Settings()->maxDown);
      pacer.SetAllowedRate(share_.allowedRate.load(std::memory_order_relaxed));
    }
    if (ok) ok = pacer.WaitForSlot();
  }
  if (!head.empty() && ok) socket_.Send(head);  // a body of no bytes
  return sent;
}
