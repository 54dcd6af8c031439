#include "orvihttp/logging/log_escaping.h"

#include <array>

namespace {

constexpr std::array<bool, 256> EscapedBytes() {
  std::array<bool, 256> escaped{};
  for (int byte = 0; byte < 256; ++byte) {
    escaped[byte] = byte < 0x20 || byte == 0x7F || byte == '"' || byte == '\\';
  }
  return escaped;
}

// A table: every byte of every logged request line is looked up.
constexpr std::array<bool, 256> kEscaped = EscapedBytes();

bool NeedsEscape(unsigned char byte) {
  return kEscaped[byte];
}

}  // namespace

std::string EscapeForLog(const std::string& text) {
  std::string out;
  AppendEscapedForLog(text, out);
  return out;
}

void AppendEscapedForLog(const std::string& text, std::string& out) {
  static const char kHex[] = "0123456789ABCDEF";
  // Runs of plain bytes go in at once: a line is escaped for every request,
  // and most have nothing to escape.
  const char* plainFrom = text.data();
  const char* const end = plainFrom + text.size();
  for (const char* at = plainFrom; at != end; ++at) {
    const unsigned char byte = static_cast<unsigned char>(*at);
    if (!NeedsEscape(byte)) continue;
    out.append(plainFrom, static_cast<std::size_t>(at - plainFrom));
    const char escape[4] = {'\\', 'x', kHex[byte >> 4], kHex[byte & 0x0F]};
    out.append(escape, sizeof escape);
    plainFrom = at + 1;
  }
  out.append(plainFrom, static_cast<std::size_t>(end - plainFrom));
}
