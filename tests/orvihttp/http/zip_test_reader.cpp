#include "tests/orvihttp/http/zip_test_reader.h"

#include <zlib.h>

#include <cstdlib>

namespace {

class Cursor {
 public:
  Cursor(const std::string& bytes, uint64_t at) : bytes_(bytes), at_(at) {}
  bool Has(uint64_t count) const { return at_ + count <= bytes_.size(); }
  uint64_t Take(int size) {
    uint64_t value = 0;
    for (int i = 0; i < size; ++i) {
      value |= static_cast<uint64_t>(static_cast<unsigned char>(bytes_[at_ + i])) << (8 * i);
    }
    at_ += size;
    return value;
  }
  std::string Text(uint64_t size) {
    std::string text = bytes_.substr(at_, size);
    at_ += size;
    return text;
  }
  uint64_t at() const { return at_; }
  void MoveTo(uint64_t at) { at_ = at; }
  void Skip(uint64_t count) { at_ += count; }

 private:
  const std::string& bytes_;
  uint64_t at_;
};

uint32_t Crc(const std::string& data) {
  return static_cast<uint32_t>(crc32(crc32(0L, Z_NULL, 0),
                                     reinterpret_cast<const Bytef*>(data.data()),
                                     static_cast<uInt>(data.size())));
}

struct Central {
  std::string name;
  uint32_t crc = 0;
  uint64_t size = 0;
  uint64_t offset = 0;
  uint32_t external = 0;
};

}  // namespace

ZipTestArchive ReadZipForTest(const std::string& bytes) {
  ZipTestArchive archive;
  auto fail = [&](const std::string& why) {
    archive.error = why;
    return archive;
  };
  // The end record is the last 22 bytes: the server writes no comment.
  if (bytes.size() < 22) return fail("shorter than an end record");
  Cursor end(bytes, bytes.size() - 22);
  if (end.Take(4) != 0x06054b50) return fail("no end record at the end");
  end.Take(4);
  uint64_t count = end.Take(2);
  end.Take(2);
  uint64_t centralSize = end.Take(4);
  uint64_t centralStart = end.Take(4);
  if (bytes.size() >= 22 + 20 + 56) {
    Cursor locator(bytes, bytes.size() - 22 - 20);
    if (locator.Take(4) == 0x07064b50) {
      locator.Take(4);
      Cursor end64(bytes, locator.Take(8));
      if (!end64.Has(56) || end64.Take(4) != 0x06064b50) return fail("no 64-bit end record");
      archive.zip64End = true;
      end64.Skip(8 + 2 + 2 + 4 + 4 + 8);
      count = end64.Take(8);
      centralSize = end64.Take(8);
      centralStart = end64.Take(8);
    }
  }
  // The central directory.
  std::vector<Central> central;
  Cursor dir(bytes, centralStart);
  for (uint64_t i = 0; i < count; ++i) {
    if (!dir.Has(46) || dir.Take(4) != 0x02014b50) return fail("bad central header");
    Central entry;
    dir.Skip(2 + 2 + 2 + 2 + 2 + 2);
    entry.crc = static_cast<uint32_t>(dir.Take(4));
    uint64_t compressed = dir.Take(4);
    entry.size = dir.Take(4);
    const uint64_t nameLength = dir.Take(2);
    const uint64_t extraLength = dir.Take(2);
    const uint64_t commentLength = dir.Take(2);
    dir.Skip(2 + 2);
    entry.external = static_cast<uint32_t>(dir.Take(4));
    entry.offset = dir.Take(4);
    if (!dir.Has(nameLength + extraLength + commentLength)) return fail("central runs past");
    entry.name = dir.Text(nameLength);
    Cursor extra(bytes, dir.at());
    while (extra.at() + 4 <= dir.at() + extraLength) {
      const uint64_t tag = extra.Take(2);
      const uint64_t size = extra.Take(2);
      const uint64_t next = extra.at() + size;
      if (tag == 1) {
        if (entry.size == 0xFFFFFFFF) entry.size = extra.Take(8);
        if (compressed == 0xFFFFFFFF) compressed = extra.Take(8);
        if (entry.offset == 0xFFFFFFFF) entry.offset = extra.Take(8);
      }
      extra.MoveTo(next);
    }
    dir.Text(extraLength + commentLength);
    if (compressed != entry.size) return fail("compressed size differs: " + entry.name);
    central.push_back(entry);
  }
  if (dir.at() != centralStart + centralSize) return fail("central size is wrong");
  // The local entries, one after the other from the start.
  uint64_t at = 0;
  for (const Central& entry : central) {
    if (entry.offset != at) return fail("offset is wrong: " + entry.name);
    Cursor local(bytes, at);
    if (!local.Has(30) || local.Take(4) != 0x04034b50) return fail("bad local header");
    ZipTestEntry read;
    local.Take(2);
    read.flags = static_cast<uint16_t>(local.Take(2));
    if (local.Take(2) != 0) return fail("not stored: " + entry.name);
    read.dosTime = static_cast<uint16_t>(local.Take(2));
    read.dosDate = static_cast<uint16_t>(local.Take(2));
    local.Skip(4 + 4 + 4);
    const uint64_t nameLength = local.Take(2);
    const uint64_t extraLength = local.Take(2);
    if (!local.Has(nameLength + extraLength)) return fail("local header runs past");
    read.name = local.Text(nameLength);
    const std::string extra = local.Text(extraLength);
    read.zip64 = extraLength >= 4 && extra[0] == 1 && extra[1] == 0;
    if (read.name != entry.name) return fail("names differ: " + read.name + " / " + entry.name);
    if (!local.Has(entry.size)) return fail("data runs past: " + entry.name);
    read.data = local.Text(entry.size);
    read.folder = !read.name.empty() && read.name.back() == '/';
    if (read.folder != ((entry.external & 0x10) != 0)) return fail("folder mark: " + entry.name);
    if (Crc(read.data) != entry.crc) return fail("CRC is wrong: " + entry.name);
    if (read.flags & 0x0008) {
      if (!local.Has(4) || local.Take(4) != 0x08074b50) return fail("no descriptor: " + entry.name);
      if (local.Take(4) != entry.crc) return fail("descriptor CRC: " + entry.name);
      const int width = read.zip64 ? 8 : 4;
      if (!local.Has(2 * width) || local.Take(width) != entry.size ||
          local.Take(width) != entry.size) {
        return fail("descriptor size: " + entry.name);
      }
    }
    at = local.at();
    archive.entries.push_back(std::move(read));
  }
  if (at != centralStart) return fail("bytes between the entries and the directory");
  return archive;
}
