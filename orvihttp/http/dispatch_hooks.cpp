#include "orvihttp/http/dispatch_hooks.h"

#include "orvihttp/content/virtual_directory.h"
#include "orvihttp/http/connection.h"

// There is no listing page yet: a folder without an index file is not found.
void AnswerFolderListing(Connection& connection, const std::string&) {
  connection.SendErrorResponse(404);
}

bool IsPhpScriptName(const std::string& name) {
  std::size_t dot = name.rfind('.');
  return dot != std::string::npos && name.compare(dot + 1, 3, "php") == 0;
}

// There is no gateway yet: scripts are sent as files.
bool AnswerWithPhpGateway(Connection&, const VirtualFile&) {
  return false;
}
