// The OrviHTTP.dir format: 32-bit little-endian integers, NUL-terminated
// names, folder records depth-first.
#include "foundation/byte_codec.h"
#include "orvihttp/content/virtual_directory.h"

namespace {

void PutFolder(std::string& out, const VirtualFolder& folder) {
  PutCString(out, folder.name);
  PutWord(out, static_cast<uint32_t>(folder.files.size()));
  PutWord(out, static_cast<uint32_t>(folder.subfolders.size()));
  for (const VirtualFile& file : folder.files) {
    PutCString(out, file.name);
    PutCString(out, file.realPath);
    PutWord(out, file.reserved);
  }
  for (const VirtualFolder& sub : folder.subfolders) PutFolder(out, sub);
}

// A signed count; 0 or less means none.
bool Count(ByteReader& reader, uint32_t& count) {
  if (!reader.Word(count)) return false;
  if (static_cast<int32_t>(count) < 0) count = 0;
  return true;
}

// Smallest records: a file is two empty names and a word, a folder an empty
// name and two words. Counts beyond what the data can hold fail at once.
// Nothing is reserved from a count: each level of a nested file could claim
// as many children as the rest of the file might hold, and reserving that at
// every level costs far more than the file. Records are added as they are
// read, so memory grows with the bytes actually present.
constexpr std::size_t kMinFileRecord = 6;
constexpr std::size_t kMinFolderRecord = 9;

bool ParseFolder(ByteReader& reader, VirtualFolder& folder, int depth) {
  if (depth > kMaxVirtualFolderDepth) return false;
  uint32_t fileCount = 0;
  uint32_t folderCount = 0;
  if (!reader.CString(folder.name) || !Count(reader, fileCount) || !Count(reader, folderCount)) {
    return false;
  }
  if (fileCount > reader.Remaining() / kMinFileRecord) return false;
  for (uint32_t i = 0; i < fileCount; ++i) {
    VirtualFile file;
    if (!reader.CString(file.name) || !reader.CString(file.realPath) ||
        !reader.Word(file.reserved)) {
      return false;
    }
    folder.files.push_back(std::move(file));
  }
  if (folderCount > reader.Remaining() / kMinFolderRecord) return false;
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
  ByteReader reader(data, size);
  uint32_t version = 0;
  if (!reader.Word(version) || version != kVirtualDirectoryVersion) return std::nullopt;
  VirtualFolder root;
  if (!ParseFolder(reader, root, 0)) return std::nullopt;
  return root;
}
