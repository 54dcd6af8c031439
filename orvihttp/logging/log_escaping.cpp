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
  for (char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (!NeedsEscape(byte)) {
      out += c;
      continue;
    }
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
  }
}
