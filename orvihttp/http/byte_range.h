#pragma once

#include <cstdint>
#include <string>

// What a Range header asks of a body of a known size. Only one range of
// bytes is served; a header with several ranges, another unit or a syntax
// error gets the whole body, as if it had not been sent.
struct ByteRange {
  enum class Kind { Whole, Part, Unsatisfiable };
  Kind kind = Kind::Whole;
  uint64_t first = 0;   // of a Part: its first byte
  uint64_t length = 0;  // of a Part: at least 1
};

// `value` is the header's value, such as "bytes=0-499", "bytes=500-" or
// "bytes=-500" (the last 500 bytes).
ByteRange ResolveByteRange(const std::string& value, uint64_t size);

// The Content-Range value: "bytes 0-499/1234" for a part, "bytes */1234"
// for a range that lies outside the body.
std::string ContentRangeText(const ByteRange& range, uint64_t size);
