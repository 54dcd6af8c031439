#include "orvihttp/http/upload_exchange.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "foundation/disk_space.h"
#include "foundation/file_open.h"
#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "foundation/text_basics.h"
#include "orvihttp/config/install_files.h"
#include "orvihttp/content/url_escaping.h"
#include "orvihttp/http/chunked_body.h"
#include "orvihttp/http/content_range.h"
#include "orvihttp/http/multipart_reader.h"
#include "orvihttp/http/server.h"
#include "orvihttp/http/sign_in_exchange.h"
#include "orvihttp/http/upload_names.h"
#include "orvihttp/http/uri_decoding.h"
#include "orvihttp/logging/binary_log.h"

namespace {

constexpr uint64_t kMiB = 1024 * 1024;
// Bytes taken from the socket at once, and the file's write buffer: uploads
// reach the disk in large writes.
constexpr std::size_t kReadPiece = 256 * 1024;
constexpr std::size_t kWriteBuffer = 1024 * 1024;
// The free space is looked at again after this much was written.
constexpr uint64_t kFreeSpaceStep = 4 * kMiB;
constexpr int64_t kResumableLifetimeSeconds = 24 * 60 * 60;
// "name (9999).ext" is as far as a taken name is numbered.
constexpr int kMostNumbers = 9999;

// Choosing a name and putting a file under it happen under one lock, so two
// uploads of one name at once never take the same one.
std::mutex placeMutex;

// A resumable upload's temporary file is written by one request at a time:
// a second PUT of the same name from the same client while the first still
// writes would mix its bytes into the first's.
std::mutex writingMutex;
std::set<std::string> beingWritten;

class WritingClaim {
 public:
  explicit WritingClaim(std::string path) : path_(std::move(path)) {
    std::lock_guard<std::mutex> lock(writingMutex);
    held_ = beingWritten.insert(path_).second;
  }
  ~WritingClaim() {
    if (!held_) return;
    std::lock_guard<std::mutex> lock(writingMutex);
    beingWritten.erase(path_);
  }
  WritingClaim(const WritingClaim&) = delete;
  WritingClaim& operator=(const WritingClaim&) = delete;
  bool Held() const { return held_; }

 private:
  std::string path_;
  bool held_ = false;
};

std::string WithoutTrailingSlashes(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

// The request's path as the client wrote it, without scheme, host or query.
std::string RawPath(const Request& request) {
  const std::size_t first = request.requestLine.find(' ');
  if (first == std::string::npos) return "";
  std::size_t start = first;
  while (start < request.requestLine.size() && request.requestLine[start] == ' ') ++start;
  const std::size_t end = request.requestLine.find(' ', start);
  std::string uri = request.requestLine.substr(start, end == std::string::npos ? end : end - start);
  const std::size_t scheme = uri.find("://");
  if (scheme != std::string::npos && scheme < uri.find('/')) {
    const std::size_t slash = uri.find('/', scheme + 3);
    uri = slash == std::string::npos ? "/" : uri.substr(slash);
  }
  return uri.substr(0, uri.find('?'));
}

Response TextAnswer(int status, const std::string& text) {
  Response response;
  response.status = status;
  response.contentType = "text/plain; charset=utf-8";
  response.body = text + "\n";
  return response;
}

UploadAnswer Answer(int status, const std::string& text, bool bodyRead) {
  return UploadAnswer{TextAnswer(status, text), bodyRead};
}

std::string DirFileOf(const ServerSettings& settings) {
  return settings.installFolder.empty() ? "" : JoinPath(settings.installFolder, kDirFileName);
}

uint64_t FileSize(const std::string& path) {
  std::optional<FileStatus> status = QueryFileStatus(path);
  return status ? status->size : 0;
}

bool EnoughRoom(const std::string& folder, uint64_t more, const ServerSettings& settings) {
  std::optional<uint64_t> free = FreeDiskBytes(folder);
  if (!free) return true;  // the system cannot tell: the write itself will fail
  const uint64_t reserve =
      static_cast<uint64_t>(settings.minFreeMB < 0 ? 0 : settings.minFreeMB) * kMiB;
  return *free >= reserve && *free - reserve >= more;
}

uint64_t UploadLimit(const ServerSettings& settings) {
  return settings.maxUploadMB > 0 ? static_cast<uint64_t>(settings.maxUploadMB) * kMiB : 0;
}

// A temporary file being written, removed unless it is kept.
class TemporaryFile {
 public:
  TemporaryFile(std::string path, const ServerSettings& settings, std::string folder)
      : path_(std::move(path)), settings_(settings), folder_(std::move(folder)) {}
  ~TemporaryFile() {
    Close();
    if (!keep_) RemoveFile(path_);
  }
  bool Open(bool append) {
    file_ = OpenFile(path_, append ? "ab" : "wb");
    if (file_) std::setvbuf(file_, nullptr, _IOFBF, kWriteBuffer);
    return file_ != nullptr;
  }
  // False when the disk would keep less than its reserve, or the write fails.
  bool Write(const char* data, std::size_t size) {
    if (std::fwrite(data, 1, size, file_) != size) {
      failure_ = 500;
      return false;
    }
    written_ += size;
    sinceCheck_ += size;
    if (sinceCheck_ >= kFreeSpaceStep) {
      sinceCheck_ = 0;
      if (!EnoughRoom(folder_, 0, settings_)) {
        failure_ = 507;
        return false;
      }
    }
    return true;
  }
  // On the disk and closed; false when that failed.
  bool Finish() {
    const bool flushed = FlushFileToDisk(file_);
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!flushed || !closed) failure_ = 500;
    return flushed && closed;
  }
  void Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
  }
  void Keep() { keep_ = true; }
  const std::string& Path() const { return path_; }
  uint64_t Written() const { return written_; }
  int Failure() const { return failure_; }

 private:
  std::string path_;
  const ServerSettings& settings_;
  std::string folder_;
  std::FILE* file_ = nullptr;
  bool keep_ = false;
  uint64_t written_ = 0;
  uint64_t sinceCheck_ = 0;
  int failure_ = 0;
};

std::string FailureText(int status) {
  return status == 507 ? "the disk has too little free space for this upload"
                       : "the upload could not be written";
}

// Gives the finished temporary file its name in the real folder and adds it
// to the tree: `name` itself when free (or when `replace`), else "name (1)",
// "name (2)"... The tree name when placed, "" when it could not be.
std::string Place(Server& server, const ServerSettings& settings, const UploadTarget& target,
                  const std::string& temporary, const std::string& name, bool replace,
                  uint64_t size, const std::string& client) {
  std::lock_guard<std::mutex> lock(placeMutex);
  const VirtualDirectory& directory = server.directory();
  std::optional<VirtualFolder> folder = directory.ResolveFolder(target.folderPath);
  if (!folder) return "";
  std::string chosen;
  for (int number = 0; number <= kMostNumbers && chosen.empty(); ++number) {
    const std::string candidate = number == 0 ? name : NumberedName(name, number);
    const std::string treeName = TreeNameOf(candidate);
    const std::string diskPath = JoinPath(target.realFolder, DiskNameOf(candidate));
    if (folder->FindFolder(treeName) || IsFolder(diskPath)) continue;
    const bool taken = folder->FindFile(treeName) || IsFile(diskPath);
    if (!taken || (number == 0 && replace)) chosen = candidate;
  }
  if (chosen.empty()) return "";
  const std::string realPath = JoinPath(target.realFolder, DiskNameOf(chosen));
  if (!RenameFile(temporary, realPath)) return "";
  const std::string treeName = TreeNameOf(chosen);
  server.directory().EditTree([&](VirtualFolder& root) {
    VirtualFolder* live = root.ResolveFolder(target.folderPath);
    if (!live) return;
    if (VirtualFile* existing = live->FindFile(treeName)) {
      existing->realPath = realPath;
    } else {
      live->AddFile(treeName, realPath);
    }
  });
  const std::string dirFile = DirFileOf(settings);
  if (!dirFile.empty()) server.directory().SaveTreeAtomically(dirFile);
  AppendBinaryLogRecords(server.logs(), settings, FileUploadedRecord(client, treeName, size));
  return treeName;
}

std::string UrlOf(const UploadTarget& target, const std::string& treeName) {
  return EncodeUrlPath(target.folderPath + "/" + treeName, true);
}

// Where the resumable upload of one client and account is kept.
std::string ResumablePathOf(const UploadTarget& target, const std::string& client,
                            const std::string& account) {
  return JoinPath(target.realFolder,
                  ResumableTempName(client + '\n' + account, target.folderPath, target.name));
}

// The answer that tells how much of a resumable upload has arrived.
Response ProgressAnswer(uint64_t arrived) {
  Response response = TextAnswer(308, std::to_string(arrived) + " bytes arrived so far");
  if (arrived > 0) response.range = "bytes=0-" + std::to_string(arrived - 1);
  return response;
}

UploadAnswer ServePut(const UploadTarget& target, const UploadCall& call) {
  const ServerSettings& settings = call.settings;
  const HeaderFields& headers = call.request.headers;
  if (std::optional<std::string> why = WhyNotAnUploadName(target.name)) {
    return Answer(400, "Not uploaded: " + *why + ".", false);
  }
  // A chunked body tells its length only at its end: the limit is checked
  // as it comes, and the connection closes after it (see ChunkedBody).
  std::optional<ChunkedBody> chunked;
  if (IsWordIgnoringCase(headers.transferEncoding, "chunked")) {
    if (!headers.bodyRange.empty()) {
      return Answer(400, "Not uploaded: a resumed upload needs a Content-Length.", false);
    }
    chunked.emplace(call.read);
  }
  const int64_t length = chunked ? 0 : headers.contentLength;
  if (length < 0) return Answer(400, "Not uploaded: the Content-Length is not a number.", false);
  std::optional<ContentRange> range;
  if (!headers.bodyRange.empty()) {
    range = ParseContentRange(headers.bodyRange);
    if (!range) return Answer(400, "Not uploaded: the Content-Range cannot be read.", false);
  }
  const bool replace = headers.ifMatch == "*";
  if (replace &&
      !call.server.access().Holds(target.folderPath + "/", FolderRight::Delete, call.account)) {
    return Answer(403, "Not uploaded: replacing a file needs the right to delete.", false);
  }
  const uint64_t whole = range ? range->total : static_cast<uint64_t>(length);
  const uint64_t limit = UploadLimit(settings);
  if (limit > 0 && whole > limit) {
    return Answer(
        413,
        "Not uploaded: the file is larger than " + std::to_string(settings.maxUploadMB) + " MB.",
        false);
  }
  const std::string temporary = ResumablePathOf(target, call.client, call.account);
  if (range && range->query) {
    return UploadAnswer{ProgressAnswer(FileSize(temporary)), length == 0};
  }
  const WritingClaim claim(temporary);
  if (!claim.Held()) {
    return Answer(409, "Not uploaded: the same file is still being uploaded from this address.",
                  false);
  }
  const uint64_t arrived = range ? FileSize(temporary) : 0;
  if (range && range->first != arrived) {
    UploadAnswer answer =
        Answer(416,
               "Not uploaded: " + std::to_string(arrived) + " bytes arrived so far, not " +
                   std::to_string(range->first) + ".",
               false);
    answer.response->contentRange = "bytes */" + std::to_string(arrived);
    return answer;
  }
  if (range && range->last - range->first + 1 != static_cast<uint64_t>(length)) {
    return Answer(400, "Not uploaded: the Content-Range and the Content-Length differ.", false);
  }
  TemporaryFile file(temporary, settings, target.realFolder);
  if (!EnoughRoom(target.realFolder, static_cast<uint64_t>(length), settings)) {
    return Answer(507, "Not uploaded: " + FailureText(507) + ".", false);
  }
  if (!file.Open(range && arrived > 0)) {
    return Answer(500, "Not uploaded: " + FailureText(500) + ".", false);
  }
  std::unique_ptr<char[]> piece(new char[kReadPiece]);
  uint64_t remaining = chunked ? UINT64_MAX : static_cast<uint64_t>(length);
  while (remaining > 0) {
    const std::size_t want =
        remaining < kReadPiece ? static_cast<std::size_t>(remaining) : kReadPiece;
    const std::size_t got =
        chunked ? chunked->Read(piece.get(), want) : call.read(piece.get(), want);
    if (got == 0 && chunked && chunked->Ended()) break;
    if (got == 0) {
      // A cut PUT may be resumed: what arrived stays.
      file.Close();
      file.Keep();
      return UploadAnswer{std::nullopt, false};
    }
    remaining -= got;
    if (!file.Write(piece.get(), got)) {
      return Answer(file.Failure(), "Not uploaded: " + FailureText(file.Failure()) + ".", false);
    }
    if (chunked && limit > 0 && file.Written() > limit) {
      return Answer(
          413,
          "Not uploaded: the file is larger than " + std::to_string(settings.maxUploadMB) + " MB.",
          false);
    }
  }
  const bool bodyRead = !chunked;
  if (!file.Finish()) return Answer(500, "Not uploaded: " + FailureText(500) + ".", bodyRead);
  const uint64_t size = arrived + (chunked ? file.Written() : static_cast<uint64_t>(length));
  if (!chunked && size < whole) {
    file.Keep();
    return UploadAnswer{ProgressAnswer(size), bodyRead};
  }
  const std::string treeName =
      Place(call.server, settings, target, temporary, target.name, replace, size, call.client);
  if (treeName.empty()) return Answer(500, "Not uploaded: " + FailureText(500) + ".", bodyRead);
  file.Keep();  // renamed: nothing left to remove
  UploadAnswer answer = Answer(201, "Uploaded as " + treeName, bodyRead);
  answer.response->location = UrlOf(target, treeName);
  return answer;
}

// The parts of a form: each file to a temporary file of its own, placed only
// once the whole form arrived well, so a refused form leaves nothing.
class FormSink : public MultipartSink {
 public:
  FormSink(const UploadTarget& target, const ServerSettings& settings,
           const std::function<void(const std::string&)>& nowReceiving)
      : target_(target), settings_(settings), nowReceiving_(nowReceiving) {}

  bool BeginPart(const MultipartPartHead& head) override {
    if (!head.isFile) {
      field_ = head.fieldName;
      value_.clear();
      return true;
    }
    field_.clear();
    // A browser sends a file field nobody filled in with an empty name.
    if (head.fileName.empty()) return true;
    // Some browsers send the whole path the file came from.
    std::string name = head.fileName.substr(head.fileName.find_last_of("/\\") + 1);
    if (name.empty()) name = head.fileName;
    if (std::optional<std::string> why = WhyNotAnUploadName(name)) {
      refusal = 400;
      refusalText = "\"" + name + "\": " + *why;
      return false;
    }
    files.push_back(std::make_unique<TemporaryFile>(JoinPath(target_.realFolder, OneShotTempName()),
                                                    settings_, target_.realFolder));
    if (nowReceiving_) nowReceiving_(name);
    fileNames.push_back(std::move(name));
    if (!files.back()->Open(false)) {
      refusal = 500;
      return false;
    }
    writing_ = true;
    return true;
  }
  bool PartData(const char* data, std::size_t size) override {
    if (writing_) {
      if (!files.back()->Write(data, size)) {
        refusal = files.back()->Failure();
        return false;
      }
      return true;
    }
    // A plain field's value is only ever a short word.
    if (value_.size() + size > 64) return true;
    value_.append(data, size);
    return true;
  }
  bool EndPart() override {
    if (writing_) {
      writing_ = false;
      if (!files.back()->Finish()) {
        refusal = 500;
        return false;
      }
    } else if (field_ == "replace") {
      replaceAsked = value_ == "1";
    }
    return true;
  }

  std::vector<std::unique_ptr<TemporaryFile>> files;
  std::vector<std::string> fileNames;
  bool replaceAsked = false;
  int refusal = 0;
  std::string refusalText;

 private:
  const UploadTarget& target_;
  const ServerSettings& settings_;
  const std::function<void(const std::string&)>& nowReceiving_;
  bool writing_ = false;
  std::string field_;
  std::string value_;
};

UploadAnswer ServeForm(const UploadTarget& target, const UploadCall& call) {
  const ServerSettings& settings = call.settings;
  const int64_t length = call.request.headers.contentLength;
  std::optional<std::string> boundary = FormDataBoundary(call.request.headers.bodyType);
  if (!boundary) return Answer(400, "Not uploaded: the form has no boundary.", false);
  if (length <= 0) return Answer(411, "Not uploaded: the form needs a Content-Length.", false);
  const uint64_t limit = UploadLimit(settings);
  if (limit > 0 && static_cast<uint64_t>(length) > limit) {
    return Answer(
        413,
        "Not uploaded: the form is larger than " + std::to_string(settings.maxUploadMB) + " MB.",
        false);
  }
  if (!EnoughRoom(target.realFolder, static_cast<uint64_t>(length), settings)) {
    return Answer(507, "Not uploaded: " + FailureText(507) + ".", false);
  }
  FormSink sink(target, settings, call.nowReceiving);
  MultipartReader reader(*boundary, sink);
  std::unique_ptr<char[]> piece(new char[kReadPiece]);
  uint64_t remaining = static_cast<uint64_t>(length);
  while (remaining > 0) {
    const std::size_t got = call.read(
        piece.get(), remaining < kReadPiece ? static_cast<std::size_t>(remaining) : kReadPiece);
    if (got == 0) return UploadAnswer{std::nullopt, false};
    remaining -= got;
    if (!reader.Feed(piece.get(), got)) break;
  }
  const bool bodyRead = remaining == 0;
  if (sink.refusal == 400) return Answer(400, "Not uploaded: " + sink.refusalText + ".", bodyRead);
  if (sink.refusal != 0) {
    return Answer(sink.refusal, "Not uploaded: " + FailureText(sink.refusal) + ".", bodyRead);
  }
  if (!reader.Finished()) return Answer(400, "Not uploaded: the form is malformed.", bodyRead);
  if (sink.files.empty()) return Answer(400, "Not uploaded: the form holds no file.", bodyRead);
  if (sink.replaceAsked &&
      !call.server.access().Holds(target.folderPath + "/", FolderRight::Delete, call.account)) {
    return Answer(403, "Not uploaded: replacing a file needs the right to delete.", bodyRead);
  }
  std::string placed;
  for (std::size_t i = 0; i < sink.files.size(); ++i) {
    TemporaryFile& file = *sink.files[i];
    const std::string treeName =
        Place(call.server, settings, target, file.Path(), sink.fileNames[i], sink.replaceAsked,
              file.Written(), call.client);
    if (treeName.empty()) continue;
    file.Keep();
    placed += "Uploaded as " + treeName + "\n";
  }
  if (placed.empty()) return Answer(500, "Not uploaded: " + FailureText(500) + ".", bodyRead);
  // A browser that sent the form without script goes back to the listing,
  // which now shows the files.
  if (AsksForAPage(call.request)) {
    Response back;
    back.status = 303;
    back.location = EncodeUrlPath(target.folderPath, true) + "/";
    return UploadAnswer{std::move(back), bodyRead};
  }
  UploadAnswer answer{TextAnswer(201, placed.substr(0, placed.size() - 1)), bodyRead};
  return answer;
}

// The real file goes too only when it lies in the folder's upload folder:
// entries the owner published from elsewhere leave the tree only.
UploadAnswer ServeDelete(const UploadTarget& target, const UploadCall& call) {
  const bool bodyRead = call.request.headers.contentLength == 0;
  std::optional<VirtualFile> removed;
  call.server.directory().EditTree([&](VirtualFolder& root) {
    VirtualFolder* folder = root.ResolveFolder(target.folderPath);
    if (!folder) return;
    for (auto it = folder->files.begin(); it != folder->files.end(); ++it) {
      if (it->name == target.name) {
        removed = *it;
        folder->files.erase(it);
        return;
      }
    }
  });
  if (!removed) return Answer(404, "No such file: " + target.name, bodyRead);
  const std::string uploadFolder = RealPath(target.realFolder);
  const std::string fileFolder = RealPath(ParentFolder(removed->realPath));
  const bool inside = !uploadFolder.empty() && uploadFolder == fileFolder;
  if (inside) RemoveFile(removed->realPath);
  const std::string dirFile = DirFileOf(call.settings);
  if (!dirFile.empty()) call.server.directory().SaveTreeAtomically(dirFile);
  Response response;
  response.status = 204;
  return UploadAnswer{std::move(response), bodyRead};
}

// The folder and name of "/folder/name" as the client wrote them, the name
// percent-decoded. False when the path has no slash.
bool SplitUploadPath(const Request& request, UploadTarget& target) {
  const std::string raw = RawPath(request);
  const std::size_t slash = raw.rfind('/');
  if (slash == std::string::npos) return false;
  target.folderPath = WithoutTrailingSlashes(DecodeRequestUri(raw.substr(0, slash + 1)).path);
  target.name = DecodeSegment(raw.substr(slash + 1)).value_or("");
  return true;
}

// Completes `target` with the real folder its virtual folder's uploads go
// to; nothing when the folder is not marked or not in the tree.
std::optional<UploadTarget> Marked(UploadTarget target, Server& server) {
  std::optional<std::string> real =
      server.access().UploadFolder(target.folderPath.empty() ? "/" : target.folderPath);
  if (!real || !server.directory().ResolveFolder(target.folderPath)) return std::nullopt;
  target.realFolder = *real;
  return target;
}

}  // namespace

std::optional<UploadTarget> FindUploadTarget(const Request& request, Server& server) {
  UploadTarget target;
  if (request.method == Request::Method::Put || request.method == Request::Method::Delete) {
    if (!SplitUploadPath(request, target)) return std::nullopt;
    if (request.method == Request::Method::Put) {
      target.kind = UploadTarget::Kind::Put;
    } else {
      target.kind = UploadTarget::Kind::Delete;
      target.right = FolderRight::Delete;
      const std::size_t cut = request.path.rfind('/');
      target.name = cut == std::string::npos ? request.path : request.path.substr(cut + 1);
    }
  } else if (request.method == Request::Method::Post &&
             FormDataBoundary(request.headers.bodyType)) {
    target.kind = UploadTarget::Kind::Form;
    target.folderPath = WithoutTrailingSlashes(request.path);
  } else {
    return std::nullopt;
  }
  return Marked(std::move(target), server);
}

std::optional<UploadTarget> FindResumeQuery(const Request& request, Server& server) {
  UploadTarget target;
  if (request.method != Request::Method::Head || !SplitUploadPath(request, target) ||
      target.name.empty() || WhyNotAnUploadName(target.name)) {
    return std::nullopt;
  }
  return Marked(std::move(target), server);
}

std::optional<Response> ResumeProgress(const UploadTarget& target, const std::string& client,
                                       const std::string& account) {
  const std::string path = ResumablePathOf(target, client, account);
  if (!IsFile(path)) return std::nullopt;
  return ProgressAnswer(FileSize(path));
}

UploadAnswer ServeUpload(const UploadTarget& target, const UploadCall& call) {
  const std::string& encoding = call.request.headers.transferEncoding;
  const bool chunked = IsWordIgnoringCase(encoding, "chunked");
  if (!encoding.empty() && !IsWordIgnoringCase(encoding, "identity") &&
      !(chunked && target.kind == UploadTarget::Kind::Put)) {
    return Answer(411, "Not uploaded: send the body with a Content-Length.", false);
  }
  if (!IsFolder(target.realFolder)) {
    return Answer(500, "Not uploaded: the folder for uploads is missing.", false);
  }
  switch (target.kind) {
    case UploadTarget::Kind::Put:
      return ServePut(target, call);
    case UploadTarget::Kind::Form:
      return ServeForm(target, call);
    case UploadTarget::Kind::Delete:
      return ServeDelete(target, call);
  }
  return Answer(500, "", false);
}

void RemoveLeftoverUploads(Server& server, bool atStart) {
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  const std::size_t prefix = sizeof kUploadTempPrefix - 1;
  for (const std::string& folder : server.access().UploadFolders()) {
    for (const FolderEntry& entry : ListFolder(folder)) {
      if (!entry.isFile || entry.name.compare(0, prefix, kUploadTempPrefix) != 0) continue;
      const auto endsWith = [&](const char* suffix) {
        const std::string text(suffix);
        return entry.name.size() > text.size() &&
               entry.name.compare(entry.name.size() - text.size(), text.size(), text) == 0;
      };
      if (!endsWith(kOneShotSuffix) && !endsWith(kResumableSuffix)) continue;
      if (atStart || now - entry.lastWrite.seconds > kResumableLifetimeSeconds) {
        RemoveFile(JoinPath(folder, entry.name));
      }
    }
  }
}
