#include <algorithm>
#include <cstdio>
#include <optional>

#include "foundation/clock.h"
#include "foundation/file_system.h"
#include "foundation/settings.h"
#include "orvihttp/config/server_keys.h"
#include "orvihttp/content/virtual_directory.h"
#include "orvihttp/http/client_registry.h"
#include "orvihttp/http/connection.h"
#include "orvihttp/http/dispatch_hooks.h"
#include "orvihttp/http/error_response.h"
#include "orvihttp/http/http_date.h"
#include "orvihttp/logging/access_log.h"
#include "orvihttp/logging/binary_log.h"

namespace {

constexpr uint32_t kSlotMs = 100;

// Bytes a rate of `kilobytesPerSecond` allows in one 100-ms slot.
uint64_t SlotBudget(int32_t kilobytesPerSecond) {
  return static_cast<uint64_t>(kilobytesPerSecond) * 1024u * kSlotMs / 1000u;
}

// True when clock value `a` lies before `b` (the 32-bit clock wraps).
bool Before(uint32_t a, uint32_t b) {
  return static_cast<int32_t>(a - b) < 0;
}

}  // namespace

void Connection::ServeRequest() {
  const std::string& path = request_.path;
  std::optional<VirtualFile> file;
  std::string folderPath;
  if (!path.empty() && path.back() == '/') {
    folderPath = path.substr(0, path.size() - 1);
  } else {
    file = VirtualDirectory::ResolveFile(path);
    // A folder named without its trailing "/" is treated like one named with it.
    if (!file) folderPath = path;
  }
  if (!file) {
    if (GetSetting(kAutoLoadIndex)) {
      if (std::optional<VirtualFolder> folder = VirtualDirectory::ResolveFolder(folderPath)) {
        if (const VirtualFile* index = folder->FindIndexFile()) file = *index;
      }
    }
    if (!file) {
      if (GetSetting(kDirView)) {
        AnswerFolderListing(*this, folderPath);
      } else {
        SendErrorResponse(403);
      }
      return;
    }
  }
  SetActivity(file->name);
  if (IsPhpScriptName(file->name) && GetSetting(kPhpEnable) && !GetSetting(kPhpPath).empty() &&
      AnswerWithPhpGateway(*this, *file)) {
    return;
  }
  SendFile(*file);
}

void Connection::SendFile(const VirtualFile& file) {
  std::optional<FileStatus> status = QueryFileStatus(file.realPath);
  if (!status) {
    SendErrorResponse(404);
    return;
  }
  HeaderFields fields;
  fields.lastModified = FormatHttpDate(status->lastWrite.seconds);
  fields.contentLength = static_cast<int64_t>(status->size);
  std::FILE* stream = std::fopen(file.realPath.c_str(), "rb");
  if (!stream) {
    SendErrorResponse(404);
    return;
  }
  fields.SetContentTypeForName(file.name);
  std::string head = StatusLine(200) + fields.BuildHeaderBlock();
  LogRequestSucceeded(peerAddress_);
  if (request_.method == Request::kHead) {
    socket_.Send(head);
    std::fclose(stream);
    LogResponse(peerAddress_, request_.requestLine, 200, 0);
    return;
  }
  const uint64_t sent = TransferFile(stream, status->size, std::move(head));
  std::fclose(stream);
  currentRate_.store(0, std::memory_order_relaxed);
  LogResponse(peerAddress_, request_.requestLine, 200, static_cast<int64_t>(sent));
  LogFileDownloaded(peerAddress_, CurrentActivity(), sent);
}

// Streams the file in steps of at most kTransferChunk bytes. With a cap, the
// connection's allowed rate is spent in 100-ms slots: once a slot's budget is
// used up, the transfer sleeps until the next slot. Every 100 ms or more it
// measures its rate and lets the registry re-share the cap; a new share
// applies from the current slot on.
uint64_t Connection::TransferFile(std::FILE* file, uint64_t size, std::string head) {
  int32_t maxDown = GetSetting(kMaxDown);
  if (maxDown < 0) maxDown = 0;
  rateCeiling_.store(maxDown, std::memory_order_relaxed);
  allowedRate_.store(maxDown, std::memory_order_relaxed);
  int32_t rateSeen = maxDown;
  uint64_t budget = SlotBudget(rateSeen);
  uint64_t slotUsed = 0;

  if (transferBuffer_.empty()) transferBuffer_.resize(kTransferChunk);
  char* buffer = transferBuffer_.data();

  uint32_t lastMeasure = TimeMs();
  uint32_t nextSlot = lastMeasure + kSlotMs;
  uint64_t sent = 0;
  uint64_t since = 0;
  bool ok = true;
  while (ok && sent < size) {
    uint64_t want = std::min<uint64_t>(kTransferChunk, size - sent);
    if (rateSeen > 0) want = std::min<uint64_t>(want, budget - slotUsed);
    const std::size_t read = std::fread(buffer, 1, static_cast<std::size_t>(want), file);
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
    since += read;
    slotUsed += read;

    uint32_t now = TimeMs();
    const uint32_t elapsed = now - lastMeasure;
    if (elapsed >= kSlotMs) {
      const uint64_t rate = since * 1000u / elapsed;
      const uint64_t smoothed = (rate + currentRate_.load(std::memory_order_relaxed)) / 2;
      currentRate_.store(static_cast<uint32_t>(std::min<uint64_t>(smoothed, UINT32_MAX)),
                         std::memory_order_relaxed);
      lastMeasure = now;
      since = 0;
      RebalanceBandwidth();
      const int32_t allowed = allowedRate_.load(std::memory_order_relaxed);
      if (allowed != rateSeen) {
        rateSeen = allowed > 0 ? allowed : 0;
        budget = SlotBudget(rateSeen);
      }
    }
    // A budget that shrank may leave more than one slot's worth used: the
    // overshoot is carried into the following slots.
    while (ok && rateSeen > 0 && slotUsed >= budget) {
      now = TimeMs();
      if (Before(now, nextSlot)) {
        if (!wakeup_.Sleep(nextSlot - now)) ok = false;
        nextSlot += kSlotMs;
      } else {
        // Behind the slots (the network is slower than the allowance): start
        // them afresh instead of sending a burst to catch up.
        nextSlot = now + kSlotMs;
      }
      slotUsed -= budget;
    }
    if (rateSeen == 0) slotUsed = 0;
  }
  if (!head.empty() && ok) socket_.Send(head);  // a file of no bytes
  if (sent < size) CloseAfterResponse();        // the client was promised more
  return sent;
}
