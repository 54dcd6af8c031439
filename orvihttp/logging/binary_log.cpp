#include "orvihttp/logging/binary_log.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "foundation/settings.h"
#include "orvihttp/logging/log_lock.h"

namespace {

void PutWord(std::string& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(value >> shift));
}

void PutString(std::string& out, const std::string& text) {
  // Only the bytes before a stray NUL: the reader finds the string by length.
  std::size_t length = std::strlen(text.c_str());
  PutWord(out, static_cast<uint32_t>(length));
  out.append(text.c_str(), length);
  out.push_back('\0');
}

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

class Reader {
 public:
  Reader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Word(uint32_t& value) {
    if (size_ - pos_ < 4) return false;
    value = static_cast<uint32_t>(data_[pos_]) | static_cast<uint32_t>(data_[pos_ + 1]) << 8 |
            static_cast<uint32_t>(data_[pos_ + 2]) << 16 |
            static_cast<uint32_t>(data_[pos_ + 3]) << 24;
    pos_ += 4;
    return true;
  }

  // A length word, then that many bytes and the 0 byte.
  bool String(std::string& text) {
    uint32_t length = 0;
    if (!Word(length)) return false;
    if (size_ - pos_ < static_cast<uint64_t>(length) + 1) return false;
    if (data_[pos_ + length] != 0) return false;  // not a record of this format
    text.assign(reinterpret_cast<const char*>(data_ + pos_), length);
    pos_ += static_cast<std::size_t>(length) + 1;
    return true;
  }

  std::size_t Position() const { return pos_; }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// One record from the start of the data; false when it is not complete.
bool ReadRecord(Reader& reader, BinLogRecord& record) {
  uint32_t time = 0;
  uint32_t type = 0;
  if (!reader.Word(time) || !reader.Word(type)) return false;
  record.time = static_cast<int32_t>(time);
  record.type = static_cast<int32_t>(type);
  record.first.clear();
  record.second.clear();
  record.value = 0;
  int strings = TailStrings(record.type);
  if (strings >= 1 && !reader.String(record.first)) return false;
  if (strings == 2 && (!reader.String(record.second) || !reader.Word(record.value))) return false;
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
  if (strings >= 1) PutString(out, first);
  if (strings == 2) {
    PutString(out, second);
    PutWord(out, value);
  }
  return out;
}

void AppendBinaryLog(int32_t type, const std::string& first, const std::string& second,
                     uint32_t value) {
  LogLock lock;
  std::string path = GetString("BinLogPath");
  if (path.empty()) return;
  std::FILE* file = std::fopen(path.c_str(), "ab");
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
  Reader reader(data, size);
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
