#include "orvihttp/http/upload_names.h"

#include <atomic>
#include <ctime>

#include "foundation/text_basics.h"
#include "orvihttp/tls/password_hash.h"

namespace {

// The part before the first dot, trailing spaces gone, in lower case: what
// Windows compares with its device names.
bool IsDeviceName(const std::string& name) {
  std::string stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem) c = AsciiLower(c);
  if (stem == "con" || stem == "prn" || stem == "aux" || stem == "nul") return true;
  if (stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0)) {
    return stem[3] >= '1' && stem[3] <= '9';
  }
  return false;
}

std::string Hex(uint64_t value) {
  static const char kHex[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i) {
    text[static_cast<std::size_t>(i)] = kHex[value & 0xF];
    value >>= 4;
  }
  return text;
}

uint64_t Fnv1a(const std::string& text) {
  uint64_t hash = 14695981039346656037ull;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::optional<std::string> WhyNotAnUploadName(const std::string& name) {
  if (name.empty()) return "the file name is empty";
  if (name.size() > kLongestName) return "the file name is longer than 255 bytes";
  if (!IsWellFormedUtf8(name)) return "the file name is not UTF-8";
  if (name == "." || name == "..") return "the file name is \".\" or \"..\"";
  for (char c : name) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\') return "the file name holds a path separator";
    if (byte < 0x20 || byte == 0x7F) return "the file name holds a control character";
    if (c == ':') return "the file name holds \":\"";
  }
  if (name.back() == '.' || name.back() == ' ') {
    return "the file name ends in a dot or a space";
  }
  if (IsDeviceName(name)) return "the file name is one Windows keeps for a device";
  if (name.compare(0, sizeof kUploadTempPrefix - 1, kUploadTempPrefix) == 0) {
    return "the file name is one the server keeps for uploads under way";
  }
  return std::nullopt;
}

std::string NumberedName(const std::string& name, int number) {
  const std::string mark = " (" + std::to_string(number) + ")";
  std::size_t dot = name.rfind('.');
  if (dot == 0 || (dot != std::string::npos && name.size() - dot + mark.size() >= kLongestName)) {
    dot = std::string::npos;
  }
  std::string stem = name.substr(0, dot);
  const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
  // A long name gives up the end of its stem, never its number or its
  // extension, so that the numbered name is still one the disk takes; the
  // cut does not split a UTF-8 letter.
  const std::size_t room = kLongestName - mark.size() - extension.size();
  if (stem.size() > room) {
    std::size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
    stem.resize(cut);
  }
  return stem + mark + extension;
}

std::string TreeNameOf(const std::string& name) {
  return Utf8NameToLatin1(name);
}

std::string ResumableTempName(const std::string& client, const std::string& folderPath,
                              const std::string& name) {
  // Two hashes of the three, so that two clients meet in one name only by a
  // 128-bit accident.
  const std::string key = client + '\n' + folderPath + '\n' + name;
  return std::string(kUploadTempPrefix) + Hex(Fnv1a(key)) + Hex(Fnv1a(name + '\r' + key)) +
         kResumableSuffix;
}

std::string OneShotTempName() {
  uint64_t random[2] = {0, 0};
  if (!RandomBytes(random, sizeof random)) {
    // Without random numbers, the time and a count still keep names apart
    // within this process.
    static std::atomic<uint64_t> count{0};
    random[0] = static_cast<uint64_t>(std::time(nullptr));
    random[1] = ++count;
  }
  return std::string(kUploadTempPrefix) + Hex(random[0]) + Hex(random[1]) + kOneShotSuffix;
}

std::optional<std::string> DecodeSegment(const std::string& raw) {
  std::string decoded;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '%') {
      decoded += raw[i];
      continue;
    }
    const int high = i + 2 < raw.size() ? HexDigit(raw[i + 1]) : -1;
    const int low = high >= 0 ? HexDigit(raw[i + 2]) : -1;
    if (low < 0) return std::nullopt;
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}
