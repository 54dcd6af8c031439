#include "orvihttp/logging/log_escaping.h"

namespace {

bool NeedsEscape(unsigned char byte) {
  return byte < 0x20 || byte == 0x7F || byte == '"' || byte == '\\';
}

}  // namespace

std::string EscapeForLog(const std::string& text) {
  std::string out;
  AppendEscapedForLog(text, out);
  return out;
}

void AppendEscapedForLog(const std::string& text, std::string& out) {
  static const char kHex[] = "0123456789ABCDEF";
  out.reserve(out.size() + text.size());
  // Runs of plain bytes go in at once: a line is escaped for every request.
  std::size_t plainFrom = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (!NeedsEscape(byte)) continue;
    out.append(text, plainFrom, i - plainFrom);
    const char escape[4] = {'\\', 'x', kHex[byte >> 4], kHex[byte & 0x0F]};
    out.append(escape, sizeof escape);
    plainFrom = i + 1;
  }
  out.append(text, plainFrom, std::string::npos);
}
