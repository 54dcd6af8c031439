#include "orvihttp/http/route_request.h"

#include <memory>
#include <optional>

#include "foundation/file_system.h"
#include "orvihttp/content/directory_listing.h"
#include "orvihttp/content/error_page.h"
#include "orvihttp/content/file_body.h"
#include "orvihttp/content/folder_archive.h"
#include "orvihttp/content/http_date.h"
#include "orvihttp/content/memory_body.h"
#include "orvihttp/content/php_gateway.h"
#include "orvihttp/content/small_file_cache.h"
#include "orvihttp/content/virtual_directory.h"
#include "orvihttp/http/byte_range.h"
#include "orvihttp/http/mime_table.h"

namespace {

// True when the client's copy, dated by its If-Modified-Since, is as new as
// the file: the file was not written in a later second. A date the server
// cannot read asks nothing.
bool ClientCopyIsCurrent(const Request& request, const FileStatus& status) {
  if (request.method != Request::Method::Get && request.method != Request::Method::Head) {
    return false;
  }
  if (request.headers.ifModifiedSince.empty()) return false;
  std::optional<int64_t> since = ParseHttpDate(request.headers.ifModifiedSince);
  return since && status.lastWrite.seconds <= *since;
}

// The part of the file a GET asks for. An If-Range naming another date than
// the file's own means the client's earlier parts belong to an older file,
// so it gets the whole new one.
ByteRange RequestedRange(const Request& request, const FileStatus& status) {
  if (request.method != Request::Method::Get || request.headers.range.empty()) return {};
  if (!request.headers.ifRange.empty()) {
    std::optional<int64_t> date = ParseHttpDate(request.headers.ifRange);
    if (!date || *date != status.lastWrite.seconds) return {};
  }
  return ResolveByteRange(request.headers.range, status.size);
}

// The file at `path`, opened or from the cache, with its status; null when
// it cannot be found or opened. A small file is read whole and kept.
std::unique_ptr<BodySource> OpenFileBody(const std::string& path, FileStatus* status) {
  SmallFileCache& cache = SmallFileCache::Shared();
  if (std::shared_ptr<const std::string> held = cache.Find(path, status)) {
    return std::make_unique<MemoryBody>(std::move(held), 0);
  }
  std::unique_ptr<FileBody> file = FileBody::Open(path, status);
  // An empty file needs no memory; nor is a device or pipe read ahead.
  if (!file || status->size == 0 || status->size > SmallFileCache::kLargestFile) return file;
  auto bytes = std::make_shared<std::string>(static_cast<std::size_t>(status->size), '\0');
  // A file written to while it is read is served as read, but not kept.
  bytes->resize(file->Read(bytes->data(), bytes->size()));
  char beyond;
  if (bytes->size() == status->size && file->Read(&beyond, 1) == 0) {
    cache.Keep(path, *status, bytes);
  }
  return std::make_unique<MemoryBody>(std::move(bytes), 0);
}

// A file of the tree as it is: 200 with the file streamed, 206 with the part
// of it the client asked for, 304 when the client's copy is current, 416 for
// a part outside the file, or 404 when it cannot be found or opened. Made in
// place, since an answer has many strings to move and one goes out for
// every request.
std::optional<Response> FileResponse(const VirtualFile& file, const Request& request,
                                     const ServerSettings& settings) {
  std::optional<Response> answer(std::in_place);
  Response& response = *answer;
  FileStatus status;
  std::unique_ptr<BodySource> body = OpenFileBody(file.realPath, &status);
  if (!body) {
    response = ErrorPage(404, settings.port);
    return answer;
  }
  response.lastModified = FormatHttpDate(status.lastWrite.seconds);
  response.contentType = ContentTypeForName(file.name);
  if (ClientCopyIsCurrent(request, status)) {
    response.status = 304;
    return answer;
  }
  const ByteRange range = RequestedRange(request, status);
  if (range.kind == ByteRange::Kind::Unsatisfiable) {
    response = ErrorPage(416, settings.port);
    response.contentRange = ContentRangeText(range, status.size);
    return answer;
  }
  // A client that asked for a part learns that parts are served; others only
  // when the setting says so.
  response.acceptsRanges = !request.headers.range.empty() || settings.advertiseRanges;
  response.streamSize = status.size;
  if (range.kind == ByteRange::Kind::Part) {
    if (!body->Seek(range.first)) {
      response = ErrorPage(500, settings.port);
      return answer;
    }
    response.status = 206;
    response.streamSize = range.length;
    response.contentRange = ContentRangeText(range, status.size);
  }
  response.stream = std::move(body);
  response.countsAsDownload = true;
  return answer;
}

// The file a path names, or its folder's index file; none when the path
// names a folder without one (then `folderPath` is that folder).
std::optional<VirtualFile> ResolveTarget(const std::string& path, const RouteContext& context,
                                         std::string* folderPath) {
  std::optional<VirtualFile> file;
  if (!path.empty() && path.back() == '/') {
    *folderPath = path.substr(0, path.size() - 1);
  } else {
    file = context.directory.ResolveFile(path);
    // A folder named without its trailing "/" is treated like one named with it.
    if (!file) *folderPath = path;
  }
  if (!file && context.settings.autoLoadIndex) {
    if (std::optional<VirtualFolder> folder = context.directory.ResolveFolder(*folderPath)) {
      if (const VirtualFile* index = folder->FindIndexFile()) file = *index;
    }
  }
  return file;
}

bool RunsAsScript(const VirtualFile& file, const ServerSettings& settings) {
  return IsPhpScriptName(file.name) && settings.phpEnable && !settings.phpPath.empty();
}

}  // namespace

bool RouteUsesBody(const Request& request, const RouteContext& context) {
  std::string folderPath;
  std::optional<VirtualFile> file = ResolveTarget(request.path, context, &folderPath);
  return file && RunsAsScript(*file, context.settings);
}

std::optional<Response> RouteRequest(const Request& request, const RouteContext& context,
                                     const std::function<void(const std::string&)>& serving) {
  const ServerSettings& settings = context.settings;
  // Only where listings are served: an archive names every file as a
  // listing does.
  const bool archives = settings.folderArchives && settings.dirView;
  if (archives && request.query == "zip" && !request.path.empty() && request.path.back() == '/' &&
      (request.method == Request::Method::Get || request.method == Request::Method::Head)) {
    return FolderArchive(context.directory, request.path.substr(0, request.path.size() - 1),
                         settings.port, context.viewer, serving);
  }
  std::string folderPath;
  std::optional<VirtualFile> file = ResolveTarget(request.path, context, &folderPath);
  if (!file) {
    if (settings.dirView) {
      return DirectoryListing(context.directory, folderPath, settings.port, context.viewer,
                              archives);
    }
    return ErrorPage(403, settings.port);
  }
  // Told before the answer is made: a script may run for a while, and the
  // Info page shows what runs meanwhile.
  if (serving) serving(file->name);
  if (RunsAsScript(*file, settings)) {
    return PhpGateway(settings.phpPath, file->realPath, request.query, settings.port,
                      context.httpsPort, context.phpPrograms);
  }
  return FileResponse(*file, request, settings);
}
