// The OrviHTTP.dir format: 32-bit little-endian integers, NUL-terminated
// names, folder records depth-first.
#include <cstring>

#include "orvihttp/content/virtual_directory.h"

namespace {

void PutWord(std::string& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(value >> shift));
}

void PutName(std::string& out, const std::string& text) {
  // Bytes up to a stray NUL only: what follows it could not be read back.
  out.append(text.c_str(), std::strlen(text.c_str()));
  out.push_back('\0');
}

void PutFolder(std::string& out, const VirtualFolder& folder) {
  PutName(out, folder.name);
  PutWord(out, static_cast<uint32_t>(folder.files.size()));
  PutWord(out, static_cast<uint32_t>(folder.subfolders.size()));
  for (const VirtualFile& file : folder.files) {
    PutName(out, file.name);
    PutName(out, file.realPath);
    PutWord(out, file.reserved);
  }
  for (const VirtualFolder& sub : folder.subfolders) PutFolder(out, sub);
}

// Bounds-checked reading of the buffer; every read fails once past the end.
class Reader {
 public:
  Reader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Word(uint32_t& value) {
    if (size_ - pos_ < 4) return false;
    value = static_cast<uint32_t>(data_[pos_]) | static_cast<uint32_t>(data_[pos_ + 1]) << 8 |
            static_cast<uint32_t>(data_[pos_ + 2]) << 16 |
            static_cast<uint32_t>(data_[pos_ + 3]) << 24;
    pos_ += 4;
    return true;
  }

  bool Name(std::string& text) {
    const void* end = std::memchr(data_ + pos_, 0, size_ - pos_);
    if (!end) return false;
    std::size_t length = static_cast<const uint8_t*>(end) - (data_ + pos_);
    text.assign(reinterpret_cast<const char*>(data_ + pos_), length);
    pos_ += length + 1;
    return true;
  }

  std::size_t Remaining() const { return size_ - pos_; }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// A signed count; 0 or less means none.
bool Count(Reader& reader, uint32_t& count) {
  if (!reader.Word(count)) return false;
  if (static_cast<int32_t>(count) < 0) count = 0;
  return true;
}

// Smallest records: a file is two empty names and a word, a folder an empty
// name and two words. Counts beyond what the data can hold fail at once.
constexpr std::size_t kMinFileRecord = 6;
constexpr std::size_t kMinFolderRecord = 9;

bool ParseFolder(Reader& reader, VirtualFolder& folder, int depth) {
  if (depth > kMaxVirtualFolderDepth) return false;
  uint32_t fileCount = 0;
  uint32_t folderCount = 0;
  if (!reader.Name(folder.name) || !Count(reader, fileCount) || !Count(reader, folderCount)) {
    return false;
  }
  if (fileCount > reader.Remaining() / kMinFileRecord) return false;
  folder.files.reserve(fileCount);
  for (uint32_t i = 0; i < fileCount; ++i) {
    VirtualFile file;
    if (!reader.Name(file.name) || !reader.Name(file.realPath) || !reader.Word(file.reserved)) {
      return false;
    }
    folder.files.push_back(std::move(file));
  }
  if (folderCount > reader.Remaining() / kMinFolderRecord) return false;
  folder.subfolders.reserve(folderCount);
  for (uint32_t i = 0; i < folderCount; ++i) {
    folder.subfolders.emplace_back();
    if (!ParseFolder(reader, folder.subfolders.back(), depth + 1)) return false;
  }
  return true;
}

}  // namespace

std::string SerializeTree(const VirtualFolder& root) {
  std::string out;
  PutWord(out, kVirtualDirectoryVersion);
  PutFolder(out, root);
  return out;
}

std::optional<VirtualFolder> ParseTree(const uint8_t* data, std::size_t size) {
  if (!data) return std::nullopt;
  Reader reader(data, size);
  uint32_t version = 0;
  if (!reader.Word(version) || version != kVirtualDirectoryVersion) return std::nullopt;
  VirtualFolder root;
  if (!ParseFolder(reader, root, 0)) return std::nullopt;
  return root;
}
