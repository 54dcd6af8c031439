#include "orvihttp/http/uri_decoding.h"

#include <cstdint>

namespace {

// Hex digit value as the server has always taken it: other characters are
// not refused but give a meaningless value, of which the caller keeps the
// low 8 bits.
int HexValue(unsigned char ch) {
  int value = ch - 48;
  if (value > 9) value -= 7;
  if (value > 15) value -= 32;
  return value;
}

// A byte that decodes to itself.
bool IsPlain(unsigned char ch) {
  return ch < 0x80 && ch != '%' && ch != '+';
}

}  // namespace

DecodedUri DecodeRequestUri(const std::string& uri) {
  DecodedUri result;
  std::size_t start = 0;
  if (uri.size() > 7 && uri.compare(0, 7, "http://") == 0) {
    start = uri.find('/', 7);
    if (start == std::string::npos) start = uri.size();
  }
  std::size_t end = uri.find('?', start);
  if (end != std::string::npos) {
    result.query = uri.substr(end + 1);
  } else {
    end = uri.size();
  }

  uint32_t accumulator = 0;
  int pending = -1;
  result.path.reserve(end - start);
  for (std::size_t i = start; i < end; ++i) {
    // A run of plain ASCII, with nothing pending, goes in at once: most
    // paths are nothing else.
    if (pending < 0) {
      std::size_t plainEnd = i;
      while (plainEnd < end && IsPlain(static_cast<unsigned char>(uri[plainEnd]))) ++plainEnd;
      if (plainEnd > i) {
        result.path.append(uri, i, plainEnd - i);
        i = plainEnd - 1;
        continue;
      }
    }
    unsigned int c = static_cast<unsigned char>(uri[i]);
    if (c == '%') {
      if (end - i < 3) {
        result.malformed = true;
        break;
      }
      int value = 16 * HexValue(static_cast<unsigned char>(uri[i + 1])) +
                  HexValue(static_cast<unsigned char>(uri[i + 2]));
      c = static_cast<unsigned int>(value) & 0xFF;
      i += 2;
    } else if (c == '+') {
      c = ' ';
    }
    if ((c & 0xC0) == 0x80) {
      accumulator = (accumulator << 6) | (c & 0x3F);
      // A stray continuation byte (nothing pending) is dropped.
      if (pending > 0 && --pending == 0) {
        result.path += static_cast<char>(accumulator & 0xFF);
        pending = -1;
      }
    } else if (c < 0x80) {
      result.path += static_cast<char>(c);
    } else if ((c & 0xE0) == 0xC0) {
      accumulator = c & 0x1F;
      pending = 1;
    } else if ((c & 0xF0) == 0xE0) {
      accumulator = c & 0x0F;
      pending = 2;
    } else if ((c & 0xF8) == 0xF0) {
      accumulator = c & 0x07;
      pending = 3;
    } else if ((c & 0xFC) == 0xF8) {
      accumulator = c & 0x03;
      pending = 4;
    } else {
      accumulator = c & 0x01;
      pending = 5;
    }
  }
  return result;
}
