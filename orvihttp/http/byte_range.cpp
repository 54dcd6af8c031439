#include "orvihttp/http/byte_range.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// All of `text` as a decimal number; a number too big for 64 bits becomes
// the largest one, which lies past the end of any file. Nothing when `text`
// is empty or holds anything but digits.
std::optional<uint64_t> Position(const std::string& text) {
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
  }
  return value;
}

ByteRange Part(uint64_t first, uint64_t length) {
  return ByteRange{ByteRange::Kind::Part, first, length};
}

}  // namespace

ByteRange ResolveByteRange(const std::string& value, uint64_t size) {
  const ByteRange whole;
  const ByteRange unsatisfiable{ByteRange::Kind::Unsatisfiable, 0, 0};
  const std::size_t equals = value.find('=');
  if (equals == std::string::npos) return whole;
  std::string unit = value.substr(0, equals);
  std::transform(unit.begin(), unit.end(), unit.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (unit != "bytes") return whole;
  std::string spec = value.substr(equals + 1);
  // Several ranges would need a multipart answer; the whole body serves them.
  if (spec.find(',') != std::string::npos) return whole;
  while (!spec.empty() && IsBlank(spec.back())) spec.pop_back();
  std::size_t start = 0;
  while (start < spec.size() && IsBlank(spec[start])) ++start;
  spec.erase(0, start);
  const std::size_t dash = spec.find('-');
  if (dash == std::string::npos) return whole;
  const std::string firstText = spec.substr(0, dash);
  const std::string lastText = spec.substr(dash + 1);

  if (firstText.empty()) {
    // The last n bytes.
    std::optional<uint64_t> suffix = Position(lastText);
    if (!suffix) return whole;
    if (*suffix == 0) return unsatisfiable;
    // An empty body has no last bytes to show as a part; it goes out whole.
    if (size == 0) return whole;
    const uint64_t length = std::min(*suffix, size);
    return Part(size - length, length);
  }
  std::optional<uint64_t> first = Position(firstText);
  if (!first) return whole;
  uint64_t last = UINT64_MAX;
  if (!lastText.empty()) {
    std::optional<uint64_t> given = Position(lastText);
    if (!given || *given < *first) return whole;
    last = *given;
  }
  if (*first >= size) return unsatisfiable;
  last = std::min(last, size - 1);
  return Part(*first, last - *first + 1);
}

std::string ContentRangeText(const ByteRange& range, uint64_t size) {
  if (range.kind != ByteRange::Kind::Part) return "bytes */" + std::to_string(size);
  return "bytes " + std::to_string(range.first) + "-" +
         std::to_string(range.first + range.length - 1) + "/" + std::to_string(size);
}
