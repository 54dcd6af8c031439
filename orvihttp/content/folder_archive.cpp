#include "orvihttp/content/folder_archive.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <utility>

#include "foundation/text_basics.h"
#include "orvihttp/content/background_crc.h"
#include "orvihttp/content/error_page.h"
#include "orvihttp/content/file_body.h"
#include "orvihttp/content/memory_body.h"
#include "orvihttp/content/virtual_directory.h"
#include "orvihttp/logging/local_time.h"

namespace {

constexpr uint32_t kLocalHeader = 0x04034b50;
constexpr uint32_t kDescriptor = 0x08074b50;
constexpr uint32_t kCentralHeader = 0x02014b50;
constexpr uint32_t kEnd64 = 0x06064b50;
constexpr uint32_t kEnd64Locator = 0x07064b50;
constexpr uint32_t kEnd = 0x06054b50;
// Bit 3: sizes and CRC follow the data; bit 11: names are UTF-8.
constexpr uint16_t kFlagDescriptor = 0x0008;
constexpr uint16_t kFlagUtf8 = 0x0800;
constexpr uint16_t kVersionPlain = 20;
constexpr uint16_t kVersion64 = 45;
constexpr uint16_t kExtra64 = 0x0001;
constexpr uint16_t kExtraTime = 0x5455;
constexpr uint32_t kMax32 = 0xFFFFFFFFu;
constexpr uint16_t kMax16 = 0xFFFFu;
// The DOS attribute that marks a folder's entry.
constexpr uint32_t kDosFolder = 0x10;
constexpr char kMissingName[] = "MISSING.txt";

void Put16(std::string& out, uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}

void Put32(std::string& out, uint32_t value) {
  Put16(out, static_cast<uint16_t>(value & 0xFFFF));
  Put16(out, static_cast<uint16_t>(value >> 16));
}

void Put64(std::string& out, uint64_t value) {
  Put32(out, static_cast<uint32_t>(value & kMax32));
  Put32(out, static_cast<uint32_t>(value >> 32));
}

// The local time as the two 16-bit DOS words (time, date); DOS dates begin
// in 1980.
std::pair<uint16_t, uint16_t> DosTime(int64_t seconds) {
  const std::tm local = LocalCalendarTime(static_cast<std::time_t>(seconds));
  if (local.tm_year < 80) return {0, (1 << 5) | 1};
  const int year = std::min(local.tm_year - 80, 127);
  const auto time =
      static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
  const auto date = static_cast<uint16_t>((year << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  return {time, date};
}

uint32_t UnixTime32(int64_t seconds) {
  return static_cast<uint32_t>(std::clamp<int64_t>(seconds, 0, kMax32));
}

void AppendEntries(const VirtualFolder& folder, const std::string& treePath,
                   const std::string& prefix,
                   const std::function<bool(const std::string&)>& mayShow,
                   std::vector<ArchiveEntry>& entries) {
  for (const VirtualFile& file : folder.files) {
    entries.push_back({prefix + file.name, file.realPath});
  }
  for (const VirtualFolder& sub : folder.subfolders) {
    const std::string subPath = treePath + "/" + sub.name;
    if (mayShow && !mayShow(subPath)) continue;
    entries.push_back({prefix + sub.name + "/", ""});
    AppendEntries(sub, subPath, prefix + sub.name + "/", mayShow, entries);
  }
}

}  // namespace

// What the central directory needs of an entry once it is out.
struct FolderArchiveBody::Written {
  std::string name;  // UTF-8
  int64_t modified = 0;
  uint32_t crc = 0;
  uint64_t size = 0;
  uint64_t offset = 0;
  bool folder = false;
  bool large = false;
};

std::vector<ArchiveEntry> ListArchiveEntries(
    const VirtualFolder& folder, const std::string& folderPath,
    const std::function<bool(const std::string& folderPath)>& mayShow) {
  std::vector<ArchiveEntry> entries;
  AppendEntries(folder, folderPath, "", mayShow, entries);
  return entries;
}

namespace {

std::string Latin1ToUtf8(const std::string& latin1) {
  std::string text;
  text.reserve(latin1.size());
  for (const char c : latin1) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text += c;
    } else {
      text += static_cast<char>(0xC0 | (byte >> 6));
      text += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return text;
}

// An uploaded name with a letter beyond Latin-1 stays in the tree in its
// UTF-8 (Utf8NameToLatin1 leaves it unchanged); every other name is Latin-1.
// A plain ASCII name passes too, and reads the same either way.
bool KeptInUtf8(const std::string& name) {
  return IsWellFormedUtf8(name) && Utf8NameToLatin1(name) == name;
}

}  // namespace

std::string TreePathToUtf8(const std::string& path) {
  std::string text;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string name = path.substr(start, end - start);
    text += KeptInUtf8(name) ? name : Latin1ToUtf8(name);
    if (end < path.size()) text += '/';
    start = end + 1;
  }
  return text;
}

FolderArchiveBody::FolderArchiveBody(std::vector<ArchiveEntry> entries,
                                     std::function<void(const std::string&)> adding, int64_t now)
    : entries_(std::move(entries)), adding_(std::move(adding)), now_(now) {}

FolderArchiveBody::~FolderArchiveBody() = default;

void FolderArchiveBody::SettleCrc() {
  if (!crcPending_) return;
  crc_ = crcWorker_->Result();
  crcPending_ = false;
}

void FolderArchiveBody::TakeCrc(const char* data, std::size_t size) {
  // Smaller pieces are not worth a hand-over between threads.
  constexpr std::size_t kWorthAThread = 64 * 1024;
  if (overlap_ && size >= kWorthAThread && !crcWorker_) {
    crcWorker_ = std::make_unique<BackgroundCrc>();
    if (!crcWorker_->Start()) {
      crcWorker_.reset();
      overlap_ = false;
    }
  }
  if (overlap_ && size >= kWorthAThread) {
    crcWorker_->Begin(crc_, data, size);
    crcPending_ = true;
    return;
  }
  crc_ = static_cast<uint32_t>(crc32_z(crc_, reinterpret_cast<const Bytef*>(data), size));
}

void FolderArchiveBody::BeginEntry(const std::string& utf8Name, int64_t modified, bool folder,
                                   bool large) {
  Written entry;
  entry.name = utf8Name;
  entry.modified = modified;
  entry.offset = offset_;
  entry.folder = folder;
  entry.large = large;
  const auto [dosTime, dosDate] = DosTime(modified);
  std::string header;
  Put32(header, kLocalHeader);
  Put16(header, large ? kVersion64 : kVersionPlain);
  Put16(header, static_cast<uint16_t>(kFlagUtf8 | (folder ? 0 : kFlagDescriptor)));
  Put16(header, 0);  // stored
  Put16(header, dosTime);
  Put16(header, dosDate);
  Put32(header, 0);  // the CRC comes in the descriptor
  Put32(header, large ? kMax32 : 0);
  Put32(header, large ? kMax32 : 0);
  Put16(header, static_cast<uint16_t>(utf8Name.size()));
  Put16(header, static_cast<uint16_t>((large ? 20 : 0) + 9));
  header += utf8Name;
  if (large) {
    Put16(header, kExtra64);
    Put16(header, 16);
    Put64(header, 0);
    Put64(header, 0);
  }
  Put16(header, kExtraTime);
  Put16(header, 5);
  header += '\x01';  // the last-write time only
  Put32(header, UnixTime32(modified));
  offset_ += header.size();
  pending_ += header;
  written_.push_back(std::move(entry));
  crc_ = static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
  fileBytes_ = 0;
  // A descriptor of 32-bit sizes cannot tell more; a file that grew that far
  // since it was looked at ends there.
  fileLimit_ = large ? UINT64_MAX : kMax32 - 1;
}

void FolderArchiveBody::EndEntry() {
  Written& entry = written_.back();
  entry.crc = crc_;
  entry.size = fileBytes_;
  std::string descriptor;
  Put32(descriptor, kDescriptor);
  Put32(descriptor, crc_);
  if (entry.large) {
    Put64(descriptor, fileBytes_);
    Put64(descriptor, fileBytes_);
  } else {
    Put32(descriptor, static_cast<uint32_t>(fileBytes_));
    Put32(descriptor, static_cast<uint32_t>(fileBytes_));
  }
  offset_ += descriptor.size();
  pending_ += descriptor;
  file_.reset();
}

bool FolderArchiveBody::Advance() {
  while (next_ < entries_.size()) {
    const ArchiveEntry& entry = entries_[next_++];
    const std::string name = TreePathToUtf8(entry.path);
    if (entry.realPath.empty()) {
      BeginEntry(name, now_, true, offset_ >= kMax32);
      return true;
    }
    if (adding_) adding_(entry.path);
    FileStatus status;
    std::unique_ptr<FileBody> file = FileBody::Open(entry.realPath, &status);
    if (!file) {
      missing_.push_back(entry.path);
      continue;
    }
    BeginEntry(name, status.lastWrite.seconds, false, status.size >= kMax32 || offset_ >= kMax32);
    file_ = std::move(file);
    return true;
  }
  if (!missingDone_) {
    missingDone_ = true;
    if (!missing_.empty()) {
      std::string text = "These files could not be read when the archive was made:\r\n";
      for (const std::string& path : missing_) text += TreePathToUtf8(path) + "\r\n";
      BeginEntry(kMissingName, now_, false, offset_ >= kMax32);
      file_ = std::make_unique<MemoryBody>(std::make_shared<const std::string>(std::move(text)), 0);
      return true;
    }
  }
  if (!ended_) {
    ended_ = true;
    QueueEnd();
    return true;
  }
  return false;
}

void FolderArchiveBody::QueueEnd() {
  const uint64_t centralStart = offset_;
  std::string central;
  bool anyLarge = false;
  for (const Written& entry : written_) {
    const auto [dosTime, dosDate] = DosTime(entry.modified);
    const bool large = entry.large;
    anyLarge = anyLarge || large;
    Put32(central, kCentralHeader);
    Put16(central, large ? kVersion64 : kVersionPlain);  // made by: DOS attributes
    Put16(central, large ? kVersion64 : kVersionPlain);
    Put16(central, static_cast<uint16_t>(kFlagUtf8 | (entry.folder ? 0 : kFlagDescriptor)));
    Put16(central, 0);
    Put16(central, dosTime);
    Put16(central, dosDate);
    Put32(central, entry.crc);
    Put32(central, large ? kMax32 : static_cast<uint32_t>(entry.size));
    Put32(central, large ? kMax32 : static_cast<uint32_t>(entry.size));
    Put16(central, static_cast<uint16_t>(entry.name.size()));
    Put16(central, static_cast<uint16_t>((large ? 28 : 0) + 9));
    Put16(central, 0);  // no comment
    Put16(central, 0);  // disk
    Put16(central, 0);  // internal attributes
    Put32(central, entry.folder ? kDosFolder : 0);
    Put32(central, large ? kMax32 : static_cast<uint32_t>(entry.offset));
    central += entry.name;
    if (large) {
      Put16(central, kExtra64);
      Put16(central, 24);
      Put64(central, entry.size);
      Put64(central, entry.size);
      Put64(central, entry.offset);
    }
    Put16(central, kExtraTime);
    Put16(central, 5);
    central += '\x01';
    Put32(central, UnixTime32(entry.modified));
  }
  const uint64_t centralSize = central.size();
  const uint64_t count = written_.size();
  const uint64_t end64Start = centralStart + centralSize;
  const bool needs64 =
      anyLarge || count >= kMax16 || centralStart >= kMax32 || centralSize >= kMax32;
  if (needs64) {
    Put32(central, kEnd64);
    Put64(central, 44);  // the record's size after this field
    Put16(central, kVersion64);
    Put16(central, kVersion64);
    Put32(central, 0);
    Put32(central, 0);
    Put64(central, count);
    Put64(central, count);
    Put64(central, centralSize);
    Put64(central, centralStart);
    Put32(central, kEnd64Locator);
    Put32(central, 0);
    Put64(central, end64Start);
    Put32(central, 1);
  }
  Put32(central, kEnd);
  Put16(central, 0);
  Put16(central, 0);
  Put16(central, static_cast<uint16_t>(std::min<uint64_t>(count, kMax16)));
  Put16(central, static_cast<uint16_t>(std::min<uint64_t>(count, kMax16)));
  Put32(central, static_cast<uint32_t>(std::min<uint64_t>(centralSize, kMax32)));
  Put32(central, static_cast<uint32_t>(std::min<uint64_t>(centralStart, kMax32)));
  Put16(central, 0);
  offset_ += central.size();
  pending_ += central;
  written_.clear();
  written_.shrink_to_fit();
}

std::size_t FolderArchiveBody::Read(char* buffer, std::size_t length) {
  // The caller's buffer of the last Read is about to be written again.
  SettleCrc();
  std::size_t done = 0;
  while (done < length) {
    if (pendingAt_ < pending_.size()) {
      const std::size_t n = std::min(length - done, pending_.size() - pendingAt_);
      std::memcpy(buffer + done, pending_.data() + pendingAt_, n);
      pendingAt_ += n;
      done += n;
      continue;
    }
    pending_.clear();
    pendingAt_ = 0;
    if (file_) {
      const uint64_t room = fileLimit_ - fileBytes_;
      const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(length - done, room));
      const std::size_t got = want == 0 ? 0 : file_->Read(buffer + done, want);
      if (got > 0) {
        const char* piece = buffer + done;
        fileBytes_ += got;
        offset_ += got;
        done += got;
        if (done == length && got == want) {
          // The piece ends this step and the file goes on: its CRC may be
          // taken while the step is sent, as nothing more is read before
          // the next call settles it.
          TakeCrc(piece, got);
          continue;
        }
        crc_ = static_cast<uint32_t>(crc32_z(crc_, reinterpret_cast<const Bytef*>(piece), got));
        // A short read is where a file ends; the rest of the buffer waits
        // for the next call rather than ask the file again at once.
        if (got < want) EndEntry();
        continue;
      }
      EndEntry();
      continue;
    }
    if (!Advance()) break;
  }
  return done;
}

std::string ArchiveNameFor(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
  return (last.empty() ? std::string("root") : last) + ".zip";
}

Response FolderArchive(const VirtualDirectory& directory, const std::string& path, int port,
                       const ListingViewer& viewer,
                       std::function<void(const std::string&)> adding) {
  std::optional<VirtualFolder> folder = directory.CopyFolder(path);
  if (!folder) return ErrorPage(404, port);
  const std::string base = path.empty() || path[0] == '/' ? path : "/" + path;
  const std::string name = ArchiveNameFor(base);
  Response response;
  response.activity = name;
  response.contentType = "application/zip";
  // The name is Latin-1 like the tree's; quotes and backslashes would end
  // or bend the quoted text. A name beyond ASCII is also given in UTF-8,
  // which browsers prefer to the plain one.
  std::string quoted;
  bool plain = true;
  for (const char c : name) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
    plain = plain && static_cast<unsigned char>(c) < 0x80;
  }
  response.contentDisposition = "attachment; filename=\"" + quoted + "\"";
  if (!plain) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : TreePathToUtf8(name)) {
      const auto byte = static_cast<unsigned char>(c);
      if (std::isalnum(byte) && byte < 0x80) {
        encoded += c;
      } else if (c == '.' || c == '-' || c == '_' || c == '~') {
        encoded += c;
      } else {
        encoded += '%';
        encoded += kHex[byte >> 4];
        encoded += kHex[byte & 0x0F];
      }
    }
    response.contentDisposition += "; filename*=UTF-8''" + encoded;
  }
  response.refusesRanges = true;
  response.untilClose = true;
  response.chunkedForHttp11 = true;
  response.countsAsDownload = true;
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  std::function<void(const std::string&)> shown;
  if (adding) {
    shown = [adding = std::move(adding), name](const std::string& entry) {
      adding(name + ": " + entry);
    };
  }
  response.stream = std::make_unique<FolderArchiveBody>(
      ListArchiveEntries(*folder, base, viewer.mayShow), std::move(shown), now);
  return response;
}
