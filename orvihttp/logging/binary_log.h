#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "orvihttp/config/server_settings.h"
#include "orvihttp/logging/server_logs.h"

// The binary event log (file named by `BinLogPath`): records with no file
// header, all integers 32-bit little-endian, strings as length (without the 0
// byte), bytes, 0 byte. The statistics read it back.

enum class BinLogType : int32_t {
  ConnectionAccepted = 0,  // no tail: 8 bytes in all
  ReservedEvent1 = 1,      // one string; never written here
  ReservedEvent2 = 2,      // one string; never written here
  RequestSucceeded = 3,    // client address
  RequestFailed = 4,       // client address
  FileDownloaded = 8,      // client address, file name, size
  FileUploaded = 9,        // same layout as FileDownloaded: a finished upload
};

struct BinLogRecord {
  int32_t time = 0;    // seconds since 1970, UTC
  int32_t type = 0;    // a BinLogType value, or any other number (no tail)
  std::string first;   // client address (types 1 to 4, 8, 9)
  std::string second;  // file name (types 8, 9)
  uint32_t value = 0;  // size (types 8, 9)
};

// True for the types this format knows; only they are ever written.
bool IsWritableBinLogType(int32_t type);

// The bytes of one record; "" for a type outside 0 to 4, 8 and 9.
std::string EncodeBinLogRecord(int32_t time, int32_t type, const std::string& first,
                               const std::string& second, uint32_t value);
// The same, appended to `out`.
void AppendBinLogRecord(std::string& out, int32_t time, int32_t type, const std::string& first,
                        const std::string& second, uint32_t value);

// Appends one record with the current time in one write, when `BinLogPath`
// is not empty. A type outside 0 to 4, 8 and 9 opens (creates) the file
// without writing. Failures are silent.
void AppendBinaryLog(ServerLogs& logs, const ServerSettings& settings, int32_t type,
                     const std::string& first, const std::string& second, uint32_t value);

void LogConnectionAccepted(ServerLogs& logs, const ServerSettings& settings);

// The same records stamped now, to be written later together, in one write,
// by AppendBinaryLogRecords (when `BinLogPath` is not empty).
std::string RequestOutcomeRecord(bool failed, const std::string& peerAddress);
// `bytes` is 64-bit; the record's 32-bit field saturates at 0xFFFFFFFF.
std::string FileDownloadedRecord(const std::string& peerAddress, const std::string& name,
                                 uint64_t bytes);
// The same two, appended to `out`: one string for all of a response's.
void AppendRequestOutcomeRecord(std::string& out, bool failed, const std::string& peerAddress);
void AppendFileDownloadedRecord(std::string& out, const std::string& peerAddress,
                                const std::string& name, uint64_t bytes);
// A finished upload: the client, the file's name as the tree shows it, and
// its size, like a download.
std::string FileUploadedRecord(const std::string& peerAddress, const std::string& name,
                               uint64_t bytes);
void AppendBinaryLogRecords(ServerLogs& logs, const ServerSettings& settings,
                            const std::string& records);

// Reading back.
//
// A string longer than this is no string this server writes: the record is
// damaged. It bounds what a reader has to hold for one record.
inline constexpr uint32_t kMaxBinLogString = 1024 * 1024;

enum class BinLogRead {
  Complete,    // a whole record
  Incomplete,  // the data ends inside a record that may still be completed
  Damaged,     // bytes that no writer of this log produces
};
// Reads one record at the start of the data. A string is damaged when it
// holds a 0 byte, misses its terminating 0 byte or is longer than
// kMaxBinLogString. `length` is set for a complete record only.
BinLogRead ReadBinLogRecord(const uint8_t* data, std::size_t size, BinLogRecord& record,
                            std::size_t& length);

// Records are passed to `record` in file order. A head of an unknown type is
// a bare 8-byte record when a sound record (or the end) follows it, and
// damage otherwise. A damaged record (a writer
// that died mid-record, a torn copy) is skipped: reading goes on at the next
// place where a well-formed record of a known type starts and is followed by
// another one or by the end of the data. Reading stops at a record that the
// end of the data cuts short, whose bytes are left unread. Returns the number
// of bytes consumed.
using BinLogVisitor = std::function<void(const BinLogRecord&)>;
std::size_t ParseBinLog(const uint8_t* data, std::size_t size, const BinLogVisitor& record);
