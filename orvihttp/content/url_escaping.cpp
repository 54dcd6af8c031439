#include "orvihttp/content/url_escaping.h"

namespace {

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

void AppendEscape(std::string& out, unsigned char byte) {
  static const char kDigits[] = "0123456789ABCDEF";
  out.push_back('%');
  out.push_back(kDigits[byte >> 4]);
  out.push_back(kDigits[byte & 0x0F]);
}

}  // namespace

std::string EscapeHtml(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

std::string EncodeUrlPath(const std::string& path, bool keepSlashes) {
  std::string out;
  out.reserve(path.size());
  for (char c : path) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (IsUnreserved(byte) || (keepSlashes && byte == '/')) {
      out.push_back(c);
    } else if (byte >= 0x80) {
      AppendEscape(out, static_cast<unsigned char>(0xC0 | (byte >> 6)));
      AppendEscape(out, static_cast<unsigned char>(0x80 | (byte & 0x3F)));
    } else {
      AppendEscape(out, byte);
    }
  }
  return out;
}
