#include "foundation/text_basics.h"

#include <cstdint>

bool IsWellFormedUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    std::size_t extra = 0;
    uint32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    static const uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    i += extra + 1;
  }
  return true;
}

std::string AsciiLowerCase(std::string text) {
  for (char& c : text) c = AsciiLower(c);
  return text;
}

bool IsWordIgnoringCase(std::string_view text, std::string_view lowerWord) {
  if (text.size() != lowerWord.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (AsciiLower(text[i]) != lowerWord[i]) return false;
  }
  return true;
}

std::string Utf8NameToLatin1(const std::string& name) {
  std::string latin1;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(name[i]);
    if (byte < 0x80) {
      latin1.push_back(name[i]);
      continue;
    }
    // Only C2 xx and C3 xx spell characters U+0080 to U+00FF.
    if ((byte != 0xC2 && byte != 0xC3) || i + 1 >= name.size()) return name;
    const unsigned char next = static_cast<unsigned char>(name[i + 1]);
    if ((next & 0xC0) != 0x80) return name;
    latin1.push_back(static_cast<char>(((byte & 0x1F) << 6) | (next & 0x3F)));
    ++i;
  }
  return latin1;
}
