#include "orvihttp/http/content_range.h"

namespace {

// At most 18 digits, so that no value overflows.
std::optional<uint64_t> Number(const std::string& text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value;
}

}  // namespace

std::optional<ContentRange> ParseContentRange(const std::string& text) {
  if (text.compare(0, 6, "bytes ") != 0) return std::nullopt;
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) return std::nullopt;
  const std::string span = text.substr(6, slash - 6);
  std::optional<uint64_t> total = Number(text.substr(slash + 1));
  if (!total) return std::nullopt;
  ContentRange range;
  range.total = *total;
  if (span == "*") {
    range.query = true;
    return range;
  }
  const std::size_t dash = span.find('-');
  if (dash == std::string::npos) return std::nullopt;
  std::optional<uint64_t> first = Number(span.substr(0, dash));
  std::optional<uint64_t> last = Number(span.substr(dash + 1));
  if (!first || !last || *first > *last || *last >= *total) return std::nullopt;
  range.first = *first;
  range.last = *last;
  return range;
}
