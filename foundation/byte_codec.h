#pragma once

// Little-endian binary records (OrviHTTP.dir, the binary log): appending to a
// byte string and bounds-checked reading, where every read fails once it
// would pass the end of the data.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

inline void PutWord(std::string& out, uint32_t value) {
  const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                         static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
  out.append(bytes, sizeof bytes);
}

// The bytes before a stray NUL only (what follows one could not be read
// back), then the terminating NUL.
inline void PutCString(std::string& out, const std::string& text) {
  out.append(text.c_str(), std::strlen(text.c_str()));
  out.push_back('\0');
}

// A length word, the bytes before a stray NUL, then the terminating NUL.
inline void PutLengthString(std::string& out, const std::string& text) {
  std::size_t length = std::strlen(text.c_str());
  PutWord(out, static_cast<uint32_t>(length));
  out.append(text.c_str(), length);
  out.push_back('\0');
}

class ByteReader {
 public:
  ByteReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Word(uint32_t& value) {
    if (size_ - pos_ < 4) return false;
    value = static_cast<uint32_t>(data_[pos_]) | static_cast<uint32_t>(data_[pos_ + 1]) << 8 |
            static_cast<uint32_t>(data_[pos_ + 2]) << 16 |
            static_cast<uint32_t>(data_[pos_ + 3]) << 24;
    pos_ += 4;
    return true;
  }

  // Text up to the next NUL, which must be within the data.
  bool CString(std::string& text) {
    const void* end = std::memchr(data_ + pos_, 0, size_ - pos_);
    if (!end) return false;
    std::size_t length = static_cast<const uint8_t*>(end) - (data_ + pos_);
    text.assign(reinterpret_cast<const char*>(data_ + pos_), length);
    pos_ += length + 1;
    return true;
  }

  // A length word, that many bytes and a NUL right after them.
  bool LengthString(std::string& text) {
    uint32_t length = 0;
    if (!Word(length)) return false;
    if (size_ - pos_ < static_cast<uint64_t>(length) + 1) return false;
    if (data_[pos_ + length] != 0) return false;
    text.assign(reinterpret_cast<const char*>(data_ + pos_), length);
    pos_ += static_cast<std::size_t>(length) + 1;
    return true;
  }

  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return size_ - pos_; }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};
