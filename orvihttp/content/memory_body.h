#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "orvihttp/content/response.h"

// A body read from memory the cache holds; it shares the bytes, so the cache
// may drop them while the download goes on.
class MemoryBody : public BodySource {
 public:
  MemoryBody(std::shared_ptr<const std::string> bytes, uint64_t offset) : bytes_(std::move(bytes)) {
    Seek(offset);
  }

  std::size_t Read(char* buffer, std::size_t length) override {
    const std::size_t left = bytes_->size() - offset_;
    const std::size_t count = length < left ? length : left;
    std::memcpy(buffer, bytes_->data() + offset_, count);
    offset_ += count;
    return count;
  }

  std::string_view InMemory() const override { return std::string_view(*bytes_).substr(offset_); }

  bool Seek(uint64_t offset) override {
    if (offset > bytes_->size()) return false;
    offset_ = static_cast<std::size_t>(offset);
    return true;
  }

 private:
  std::shared_ptr<const std::string> bytes_;
  std::size_t offset_ = 0;
};
