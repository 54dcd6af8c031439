#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "foundation/file_system.h"
#include "orvihttp/content/response.h"

// A file opened for binary reading as a response body; closed when the body
// is dropped.
class FileBody : public BodySource {
 public:
  // Null when the path names no file that can be opened (missing, a folder,
  // or unreadable); `status` is then left alone. The open file's own size and
  // times are asked of it, so nothing can change between the two.
  static std::unique_ptr<FileBody> Open(const std::string& path, FileStatus* status);
  ~FileBody() override;
  FileBody(const FileBody&) = delete;
  FileBody& operator=(const FileBody&) = delete;

  std::size_t Read(char* buffer, std::size_t length) override;
  bool Seek(uint64_t offset) override;

 private:
  explicit FileBody(std::FILE* file) : file_(file) {}
  std::FILE* file_;
};
