#include "orvihttp/logging/binary_log.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "foundation/byte_codec.h"
#include "orvihttp/logging/log_file.h"

namespace {

int TailStrings(int32_t type) {
  switch (static_cast<BinLogType>(type)) {
    case BinLogType::ReservedEvent1:
    case BinLogType::ReservedEvent2:
    case BinLogType::RequestSucceeded:
    case BinLogType::RequestFailed:
      return 1;
    case BinLogType::FileDownloaded:
    case BinLogType::FileUploaded:
      return 2;
    default:
      return 0;
  }
}

// A length-prefixed string at `at`; `at` moves past its 0 byte.
BinLogRead ReadString(const uint8_t* data, std::size_t size, std::size_t& at, std::string& text) {
  if (size - at < 4) return BinLogRead::Incomplete;
  uint32_t length = static_cast<uint32_t>(data[at]) | static_cast<uint32_t>(data[at + 1]) << 8 |
                    static_cast<uint32_t>(data[at + 2]) << 16 |
                    static_cast<uint32_t>(data[at + 3]) << 24;
  at += 4;
  if (length > kMaxBinLogString) return BinLogRead::Damaged;
  std::size_t available = std::min<std::size_t>(size - at, length);
  // Writers never put a 0 byte inside a string; one seen already is damage,
  // even before the rest of the record arrives.
  if (std::memchr(data + at, 0, available)) return BinLogRead::Damaged;
  if (size - at < static_cast<std::size_t>(length) + 1) return BinLogRead::Incomplete;
  if (data[at + length] != 0) return BinLogRead::Damaged;
  text.assign(reinterpret_cast<const char*>(data + at), length);
  at += static_cast<std::size_t>(length) + 1;
  return BinLogRead::Complete;
}

// Whether the data ends at `at`, or a well-formed record of a known type
// starts there (perhaps cut short by the end of the data).
bool FollowedByRecord(const uint8_t* data, std::size_t size, std::size_t at) {
  if (at == size) return true;
  BinLogRecord record;
  std::size_t length = 0;
  BinLogRead read = ReadBinLogRecord(data + at, size - at, record, length);
  if (read == BinLogRead::Incomplete) return true;
  return read == BinLogRead::Complete && IsWritableBinLogType(record.type);
}

// Whether a well-formed record of a type this log knows starts at `at` and
// is followed by another one (or the end of the data). Used to find the way
// back in after damage, where a lone match by chance is too likely to trust.
bool IsRecordStart(const uint8_t* data, std::size_t size, std::size_t at, bool& incomplete) {
  BinLogRecord record;
  std::size_t length = 0;
  BinLogRead first = ReadBinLogRecord(data + at, size - at, record, length);
  incomplete = first == BinLogRead::Incomplete;
  if (first != BinLogRead::Complete || !IsWritableBinLogType(record.type)) return false;
  return FollowedByRecord(data, size, at + length);
}

}  // namespace

bool IsWritableBinLogType(int32_t type) {
  return (type >= 0 && type <= 4) || type == 8 || type == 9;
}

std::string EncodeBinLogRecord(int32_t time, int32_t type, const std::string& first,
                               const std::string& second, uint32_t value) {
  std::string out;
  AppendBinLogRecord(out, time, type, first, second, value);
  return out;
}

void AppendBinLogRecord(std::string& out, int32_t time, int32_t type, const std::string& first,
                        const std::string& second, uint32_t value) {
  if (!IsWritableBinLogType(type)) return;
  // One allocation: a record is written for every request.
  out.reserve(out.size() + 8 + first.size() + 5 + second.size() + 5 + 4);
  PutWord(out, static_cast<uint32_t>(time));
  PutWord(out, static_cast<uint32_t>(type));
  int strings = TailStrings(type);
  if (strings >= 1) PutLengthString(out, first);
  if (strings == 2) {
    PutLengthString(out, second);
    PutWord(out, value);
  }
}

void AppendBinaryLog(ServerLogs& logs, const ServerSettings& settings, int32_t type,
                     const std::string& first, const std::string& second, uint32_t value) {
  if (settings.binLogPath.empty()) return;
  AppendToLog(
      logs, &OpenLogs::binary, settings.binLogPath,
      EncodeBinLogRecord(static_cast<int32_t>(std::time(nullptr)), type, first, second, value));
}

void AppendBinaryLogRecords(ServerLogs& logs, const ServerSettings& settings,
                            const std::string& records) {
  if (records.empty() || settings.binLogPath.empty()) return;
  AppendToLog(logs, &OpenLogs::binary, settings.binLogPath, records);
}

std::string RequestOutcomeRecord(bool failed, const std::string& peerAddress) {
  std::string out;
  AppendRequestOutcomeRecord(out, failed, peerAddress);
  return out;
}

void AppendRequestOutcomeRecord(std::string& out, bool failed, const std::string& peerAddress) {
  const BinLogType type = failed ? BinLogType::RequestFailed : BinLogType::RequestSucceeded;
  AppendBinLogRecord(out, static_cast<int32_t>(std::time(nullptr)), static_cast<int32_t>(type),
                     peerAddress, "", 0);
}

std::string FileDownloadedRecord(const std::string& peerAddress, const std::string& name,
                                 uint64_t bytes) {
  std::string out;
  AppendFileDownloadedRecord(out, peerAddress, name, bytes);
  return out;
}

void AppendFileDownloadedRecord(std::string& out, const std::string& peerAddress,
                                const std::string& name, uint64_t bytes) {
  uint32_t size = bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
  AppendBinLogRecord(out, static_cast<int32_t>(std::time(nullptr)),
                     static_cast<int32_t>(BinLogType::FileDownloaded), peerAddress, name, size);
}

std::string FileUploadedRecord(const std::string& peerAddress, const std::string& name,
                               uint64_t bytes) {
  uint32_t size = bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
  return EncodeBinLogRecord(static_cast<int32_t>(std::time(nullptr)),
                            static_cast<int32_t>(BinLogType::FileUploaded), peerAddress, name,
                            size);
}

void LogConnectionAccepted(ServerLogs& logs, const ServerSettings& settings) {
  AppendBinaryLog(logs, settings, static_cast<int32_t>(BinLogType::ConnectionAccepted), "", "", 0);
}

BinLogRead ReadBinLogRecord(const uint8_t* data, std::size_t size, BinLogRecord& record,
                            std::size_t& length) {
  if (size < 8) return BinLogRead::Incomplete;
  ByteReader head(data, size);
  uint32_t time = 0;
  uint32_t type = 0;
  head.Word(time);
  head.Word(type);
  record.time = static_cast<int32_t>(time);
  record.type = static_cast<int32_t>(type);
  record.first.clear();
  record.second.clear();
  record.value = 0;
  std::size_t at = 8;
  int strings = TailStrings(record.type);
  if (strings >= 1) {
    BinLogRead read = ReadString(data, size, at, record.first);
    if (read != BinLogRead::Complete) return read;
  }
  if (strings == 2) {
    BinLogRead read = ReadString(data, size, at, record.second);
    if (read != BinLogRead::Complete) return read;
    ByteReader value(data + at, size - at);
    if (!value.Word(record.value)) return BinLogRead::Incomplete;
    at += 4;
  }
  length = at;
  return BinLogRead::Complete;
}

std::size_t ParseBinLog(const uint8_t* data, std::size_t size, const BinLogVisitor& record) {
  if (!data) return 0;
  std::size_t at = 0;
  BinLogRecord current;
  while (at < size) {
    std::size_t length = 0;
    BinLogRead read = ReadBinLogRecord(data + at, size - at, current, length);
    if (read == BinLogRead::Incomplete) return at;
    // No writer produces a type outside the known ones: such a head is taken
    // as a bare 8-byte record only where a sound record follows it, else it
    // is the misaligned inside of a damaged record.
    if (read == BinLogRead::Complete &&
        (IsWritableBinLogType(current.type) || FollowedByRecord(data, size, at + length))) {
      at += length;
      record(current);
      continue;
    }
    // Damaged: look for the next record start. A place where a record may
    // still be arriving ends the pass there, so the next pass judges it whole.
    std::size_t next = at + 1;
    for (; next < size; ++next) {
      bool incomplete = false;
      if (IsRecordStart(data, size, next, incomplete) || incomplete) break;
    }
    at = next;
  }
  return at;
}
