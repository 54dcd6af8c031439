#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "orvihttp/access/folder_rights.h"
#include "orvihttp/config/server_settings.h"
#include "orvihttp/content/response.h"
#include "orvihttp/http/request.h"

class Server;

// Files put into a virtual folder that is marked for uploads: a PUT of one
// file to "/folder/name", a multipart/form-data POST of several to the
// folder's address, and a DELETE of "/folder/name". Nothing here answers a
// folder that is not marked: such requests keep their old answers.
//
// A file is written under a temporary name in the real folder, put on the
// disk, and only then given its name, so no half-written file ever carries
// a real name.

struct UploadTarget {
  enum class Kind { Put, Form, Delete };
  Kind kind = Kind::Put;
  std::string folderPath;  // the virtual folder, "" for the root, else "/a/b"
  std::string realFolder;  // where its uploads are written
  // Put: the name as the client sent it (UTF-8, percent-decoded, "" when it
  // could not be decoded). Delete: the entry's name in the tree.
  std::string name;
  FolderRight right = FolderRight::Upload;
};

// The upload the request asks for, when its folder is marked for uploads and
// exists in the tree.
std::optional<UploadTarget> FindUploadTarget(const Request& request, Server& server);

// A HEAD of "/folder/name" in a folder marked for uploads, which may ask
// how much of a resumable upload of that name has arrived.
std::optional<UploadTarget> FindResumeQuery(const Request& request, Server& server);

// The answer to such a HEAD when `client` signed in as `account` (""
// for nobody) left a resumable upload of the name: 308 with the bytes that
// arrived. Nothing when there is none, so the HEAD is answered as before.
std::optional<Response> ResumeProgress(const UploadTarget& target, const std::string& client,
                                       const std::string& account);

// Reads the next bytes of the body into `buffer`, at most `length`; 0 when
// the body stalled, broke off or the connection is going away.
using BodyReader = std::function<std::size_t(char* buffer, std::size_t length)>;

struct UploadCall {
  Server& server;
  const ServerSettings& settings;
  const Request& request;
  std::string client;   // the peer's address
  std::string account;  // "" for nobody
  BodyReader read;
  // Told the name of each file of a form as its bytes begin, for the Info
  // page; a PUT's name is known before the call.
  std::function<void(const std::string& name)> nowReceiving;
};

struct UploadAnswer {
  // Nothing to send when the connection broke off while the body came.
  std::optional<Response> response;
  // The body was read to its end, so the connection may serve the next
  // request; otherwise it closes after the answer.
  bool bodyRead = false;
};

// Serves an upload the access rules already let through.
UploadAnswer ServeUpload(const UploadTarget& target, const UploadCall& call);

// Removes what uploads left behind in the folders marked for them: every
// temporary a day old, those of forms and PUTs a client might still resume
// alike. `atStart` removes them whatever their age: right at start no
// upload can be under way, and a file cut off by a crash or a stop is not
// to linger, so a resume only ever continues within one run.
void RemoveLeftoverUploads(Server& server, bool atStart);
