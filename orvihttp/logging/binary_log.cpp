#include "orvihttp/logging/binary_log.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "foundation/byte_codec.h"
#include "foundation/file_open.h"
#include "foundation/settings.h"
#include "orvihttp/config/server_keys.h"
#include "orvihttp/logging/log_lock.h"

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

// One record from the start of the data; false when it is not complete.
bool ReadRecord(ByteReader& reader, BinLogRecord& record) {
  uint32_t time = 0;
  uint32_t type = 0;
  if (!reader.Word(time) || !reader.Word(type)) return false;
  record.time = static_cast<int32_t>(time);
  record.type = static_cast<int32_t>(type);
  record.first.clear();
  record.second.clear();
  record.value = 0;
  int strings = TailStrings(record.type);
  if (strings >= 1 && !reader.LengthString(record.first)) return false;
  if (strings == 2 && (!reader.LengthString(record.second) || !reader.Word(record.value)))
    return false;
  return true;
}

}  // namespace

bool IsWritableBinLogType(int32_t type) {
  return (type >= 0 && type <= 4) || type == 8 || type == 9;
}

std::string EncodeBinLogRecord(int32_t time, int32_t type, const std::string& first,
                               const std::string& second, uint32_t value) {
  std::string out;
  if (!IsWritableBinLogType(type)) return out;
  PutWord(out, static_cast<uint32_t>(time));
  PutWord(out, static_cast<uint32_t>(type));
  int strings = TailStrings(type);
  if (strings >= 1) PutLengthString(out, first);
  if (strings == 2) {
    PutLengthString(out, second);
    PutWord(out, value);
  }
  return out;
}

void AppendBinaryLog(int32_t type, const std::string& first, const std::string& second,
                     uint32_t value) {
  LogLock lock;
  std::string path = GetSetting(kBinLogPath);
  if (path.empty()) return;
  std::FILE* file = OpenFile(path, "ab");
  if (!file) return;
  std::string bytes =
      EncodeBinLogRecord(static_cast<int32_t>(std::time(nullptr)), type, first, second, value);
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

void LogConnectionAccepted() {
  AppendBinaryLog(static_cast<int32_t>(BinLogType::ConnectionAccepted), "", "", 0);
}

void LogRequestSucceeded(const std::string& peerAddress) {
  AppendBinaryLog(static_cast<int32_t>(BinLogType::RequestSucceeded), peerAddress, "", 0);
}

void LogRequestFailed(const std::string& peerAddress) {
  AppendBinaryLog(static_cast<int32_t>(BinLogType::RequestFailed), peerAddress, "", 0);
}

void LogFileDownloaded(const std::string& peerAddress, const std::string& name, uint64_t bytes) {
  uint32_t size = bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
  AppendBinaryLog(static_cast<int32_t>(BinLogType::FileDownloaded), peerAddress, name, size);
}

std::size_t ParseBinLog(const uint8_t* data, std::size_t size, const BinLogVisitor& record) {
  if (!data) return 0;
  ByteReader reader(data, size);
  std::size_t consumed = 0;
  BinLogRecord current;
  while (ReadRecord(reader, current)) {
    consumed = reader.Position();
    record(current);
  }
  return consumed;
}

bool ReadBinLogFile(const std::string& path, const BinLogVisitor& record) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  // A record longer than the chunk grows the buffer; otherwise memory stays
  // bounded by the chunk size whatever the file's length.
  constexpr std::size_t kChunk = 64 * 1024;
  std::vector<uint8_t> buffer;
  std::size_t filled = 0;
  for (;;) {
    if (buffer.size() - filled < kChunk) buffer.resize(filled + kChunk);
    std::size_t got = std::fread(buffer.data() + filled, 1, buffer.size() - filled, file);
    if (got == 0) break;
    filled += got;
    std::size_t consumed = ParseBinLog(buffer.data(), filled, record);
    std::memmove(buffer.data(), buffer.data() + consumed, filled - consumed);
    filled -= consumed;
  }
  std::fclose(file);
  return true;
}
