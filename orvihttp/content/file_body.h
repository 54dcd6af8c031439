#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "orvihttp/content/response.h"

// A file opened for binary reading as a response body; closed when the body
// is dropped.
class FileBody : public BodySource {
 public:
  // Null when the file cannot be opened.
  static std::unique_ptr<FileBody> Open(const std::string& path);
  ~FileBody() override;
  FileBody(const FileBody&) = delete;
  FileBody& operator=(const FileBody&) = delete;

  std::size_t Read(char* buffer, std::size_t length) override;
  // Reading goes on from `offset` bytes into the file; false when the file
  // cannot get there.
  bool Seek(uint64_t offset);

 private:
  explicit FileBody(std::FILE* file) : file_(file) {}
  std::FILE* file_;
};
