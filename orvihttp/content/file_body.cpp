#include "orvihttp/content/file_body.h"

#include "foundation/file_open.h"

std::unique_ptr<FileBody> FileBody::Open(const std::string& path, FileStatus* status) {
  std::FILE* file = OpenFile(path, "rb");
  if (!file) return nullptr;
  std::unique_ptr<FileBody> body(new FileBody(file));
  std::optional<FileStatus> found = QueryOpenFileStatus(file);
  if (!found) return nullptr;
  *status = *found;
  return body;
}

FileBody::~FileBody() {
  std::fclose(file_);
}

bool FileBody::Seek(uint64_t offset) {
  return SeekFile(file_, offset);
}

std::size_t FileBody::Read(char* buffer, std::size_t length) {
  return std::fread(buffer, 1, length, file_);
}
