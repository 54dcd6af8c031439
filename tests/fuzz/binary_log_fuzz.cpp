// Any binary log content must read without going past the buffer; every
// record read back must cover exactly the bytes it was read from.

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

bool HasNul(const std::string& text) {
  return text.find('\0') != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string rebuilt;
  size_t covered = 0;
  bool exact = true;
  size_t consumed = ParseBinLog(data, size, [&](const BinLogRecord& record) {
    covered += 8;
    if (!IsWritableBinLogType(record.type)) {
      // Unknown types have no tail: just the 8-byte head.
      if (!record.first.empty() || !record.second.empty() || record.value != 0) {
        Fail("unknown type with a tail");
      }
      exact = false;
      return;
    }
    int32_t type = record.type;
    bool two = type == 8 || type == 9;
    bool one = type >= 1 && type <= 4;
    if (one || two) covered += 4 + record.first.size() + 1;
    if (two) covered += 4 + record.second.size() + 1 + 4;
    if (HasNul(record.first) || HasNul(record.second)) exact = false;
    rebuilt +=
        EncodeBinLogRecord(record.time, record.type, record.first, record.second, record.value);
  });
  if (consumed > size) Fail("consumed more than the data");
  if (covered != consumed) Fail("records do not cover the consumed bytes");
  if (exact && (rebuilt.size() != consumed || std::memcmp(rebuilt.data(), data, consumed) != 0)) {
    Fail("records do not encode back to their bytes");
  }
  return 0;
}
