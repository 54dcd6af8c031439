#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "orvihttp/content/directory_listing.h"
#include "orvihttp/content/response.h"

class BackgroundCrc;
struct VirtualFolder;
class VirtualDirectory;

// A folder of the tree sent as one .zip that is made while it goes out:
// stored (not compressed), each file's CRC-32 taken as it is read and sent
// after it, so neither the archive nor a file is ever held whole. Entries
// switch to the 64-bit form where a size, an offset or the count needs it.

// One entry of an archive, in the tree's order.
struct ArchiveEntry {
  // The path below the archived folder as the tree names it (Latin-1);
  // a folder's ends with "/".
  std::string path;
  std::string realPath;  // "" for a folder
};

// The entries of `folder` (a deep copy) and everything below it, files of a
// folder before its sub-folders. `folderPath` is the folder's path in the
// tree ("" = the root, otherwise "/a/b"); a sub-folder `mayShow` refuses is
// left out with everything below it (no `mayShow`: all are kept).
std::vector<ArchiveEntry> ListArchiveEntries(
    const VirtualFolder& folder, const std::string& folderPath,
    const std::function<bool(const std::string& folderPath)>& mayShow);

// A path of tree names as UTF-8, as the archive's names are written: each
// name is Latin-1, except an uploaded one kept in UTF-8 for a letter beyond
// Latin-1.
std::string TreePathToUtf8(const std::string& path);

// The archive body. Each file is opened when its turn comes; one that cannot
// be opened then is left out and named in a MISSING.txt at the end. A file
// that grows or shrinks while read goes in as it was read.
class FolderArchiveBody : public BodySource {
 public:
  // `adding` is told the path of each file as its turn comes; `now` dates
  // the folders' entries.
  FolderArchiveBody(std::vector<ArchiveEntry> entries,
                    std::function<void(const std::string&)> adding, int64_t now);
  ~FolderArchiveBody() override;
  FolderArchiveBody(const FolderArchiveBody&) = delete;
  FolderArchiveBody& operator=(const FolderArchiveBody&) = delete;

  std::size_t Read(char* buffer, std::size_t length) override;
  // From then on the CRC-32 of a large piece of a file is taken on a thread
  // of its own while the caller sends the piece.
  void KeepBuffersUntilNextRead() override { overlap_ = true; }
  void ReleaseBuffer() override { SettleCrc(); }

 private:
  struct Written;
  // Queues the next entry's local header (or the end of the archive); false
  // when nothing is left.
  bool Advance();
  void BeginEntry(const std::string& utf8Name, int64_t modified, bool folder, bool large);
  void EndEntry();
  void QueueEnd();
  // The CRC-32 of the bytes read so far, waiting for a piece still being
  // checked on the worker.
  void SettleCrc();
  // Checks the piece just read into the caller's buffer: on the worker when
  // the caller keeps its buffers and the piece is large, else at once.
  void TakeCrc(const char* data, std::size_t size);

  std::vector<ArchiveEntry> entries_;
  std::function<void(const std::string&)> adding_;
  int64_t now_;
  std::size_t next_ = 0;
  std::vector<std::string> missing_;
  bool missingDone_ = false;
  bool ended_ = false;
  // The bytes queued before the current file's data (headers, descriptors).
  std::string pending_;
  std::size_t pendingAt_ = 0;
  // The file being read, or the text of MISSING.txt.
  std::unique_ptr<BodySource> file_;
  uint64_t fileBytes_ = 0;
  uint64_t fileLimit_ = 0;
  uint32_t crc_ = 0;
  bool large_ = false;
  uint64_t offset_ = 0;  // bytes of the archive handed out or queued
  std::vector<Written> written_;
  bool overlap_ = false;
  std::unique_ptr<BackgroundCrc> crcWorker_;
  bool crcPending_ = false;
};

// The answer to "?zip" on the folder `path` names ("" = the root, "/a/b"):
// the archive, or 404 when there is no such folder. Named after the folder
// ("b.zip"; the root's is "root.zip"); `adding` as above.
Response FolderArchive(const VirtualDirectory& directory, const std::string& path, int port,
                       const ListingViewer& viewer, std::function<void(const std::string&)> adding);

// The file name an archive of the folder `path` gets.
std::string ArchiveNameFor(const std::string& path);
