// Any binary log content must read without going past the buffer; every
// record read back must be the exact bytes of one stretch of the data, the
// stretches in order, none overlapping, all within the bytes consumed.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "orvihttp/logging/binary_log.h"

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "binary_log_fuzz: %s\n", what);
  std::abort();
}

std::string Head(const BinLogRecord& record) {
  std::string bytes;
  for (uint32_t word : {static_cast<uint32_t>(record.time), static_cast<uint32_t>(record.type)}) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>(word >> shift));
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  size_t cursor = 0;
  size_t consumed = ParseBinLog(data, size, [&](const BinLogRecord& record) {
    if (record.first.find('\0') != std::string::npos ||
        record.second.find('\0') != std::string::npos) {
      Fail("a string with a 0 byte inside");
    }
    std::string bytes;
    if (IsWritableBinLogType(record.type)) {
      bytes =
          EncodeBinLogRecord(record.time, record.type, record.first, record.second, record.value);
    } else {
      // Unknown types have no tail: just the 8-byte head.
      if (!record.first.empty() || !record.second.empty() || record.value != 0) {
        Fail("unknown type with a tail");
      }
      bytes = Head(record);
    }
    const char* found = std::search(text + cursor, text + size, bytes.begin(), bytes.end());
    if (found == text + size) Fail("a record that is not in the data after the previous one");
    cursor = static_cast<size_t>(found - text) + bytes.size();
  });
  if (consumed > size) Fail("consumed more than the data");
  if (cursor > consumed) Fail("a record past the bytes consumed");
  return 0;
}
