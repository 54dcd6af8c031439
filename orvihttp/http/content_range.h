#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The Content-Range of a resumed upload: "bytes a-b/total" sends bytes a to
// b of a file of `total` bytes, "bytes */total" asks how far it came.
struct ContentRange {
  bool query = false;
  uint64_t first = 0;
  uint64_t last = 0;
  uint64_t total = 0;
};

// Nothing when `text` is neither form, or its span lies outside the total.
std::optional<ContentRange> ParseContentRange(const std::string& text);
