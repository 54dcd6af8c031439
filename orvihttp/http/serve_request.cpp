#include <optional>

#include "foundation/file_system.h"
#include "foundation/settings.h"
#include "orvihttp/config/server_keys.h"
#include "orvihttp/content/directory_listing.h"
#include "orvihttp/content/error_page.h"
#include "orvihttp/content/file_body.h"
#include "orvihttp/content/http_date.h"
#include "orvihttp/content/php_gateway.h"
#include "orvihttp/content/virtual_directory.h"
#include "orvihttp/http/connection.h"
#include "orvihttp/http/mime_table.h"

namespace {

// A file of the tree as it is: 200 with the file streamed, or 404 when it
// cannot be found or opened.
Response FileResponse(const VirtualFile& file) {
  std::optional<FileStatus> status = QueryFileStatus(file.realPath);
  if (!status) return ErrorPage(404, GetSetting(kPort));
  Response response;
  response.lastModified = FormatHttpDate(status->lastWrite.seconds);
  response.streamSize = status->size;
  response.stream = FileBody::Open(file.realPath);
  if (!response.stream) return ErrorPage(404, GetSetting(kPort));
  response.contentType = ContentTypeForName(file.name);
  response.countsAsDownload = true;
  return response;
}

// The file a path names, or its folder's index file; none when the path
// names a folder without one (then `folderPath` is that folder).
std::optional<VirtualFile> ResolveTarget(const std::string& path, std::string* folderPath) {
  std::optional<VirtualFile> file;
  if (!path.empty() && path.back() == '/') {
    *folderPath = path.substr(0, path.size() - 1);
  } else {
    file = VirtualDirectory::ResolveFile(path);
    // A folder named without its trailing "/" is treated like one named with it.
    if (!file) *folderPath = path;
  }
  if (!file && GetSetting(kAutoLoadIndex)) {
    if (std::optional<VirtualFolder> folder = VirtualDirectory::ResolveFolder(*folderPath)) {
      if (const VirtualFile* index = folder->FindIndexFile()) file = *index;
    }
  }
  return file;
}

bool RunsAsScript(const VirtualFile& file) {
  return IsPhpScriptName(file.name) && GetSetting(kPhpEnable) && !GetSetting(kPhpPath).empty();
}

}  // namespace

bool Connection::TargetUsesBody() {
  std::string folderPath;
  std::optional<VirtualFile> file = ResolveTarget(request_.path, &folderPath);
  return file && RunsAsScript(*file);
}

void Connection::ServeRequest() {
  std::string folderPath;
  std::optional<VirtualFile> file = ResolveTarget(request_.path, &folderPath);
  if (!file) {
    if (GetSetting(kDirView)) {
      SendResponse(DirectoryListing(folderPath));
    } else {
      SendErrorResponse(403);
    }
    return;
  }
  SetActivity(file->name);
  if (RunsAsScript(*file)) {
    if (std::optional<Response> output = PhpGateway(file->realPath, request_.query)) {
      SendResponse(std::move(*output));
    }
    return;
  }
  SendResponse(FileResponse(*file));
}
