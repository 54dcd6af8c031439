#include "orvihttp/http/dispatch_hooks.h"

#include "orvihttp/content/directory_listing.h"
#include "orvihttp/content/php_gateway.h"
#include "orvihttp/content/virtual_directory.h"
#include "orvihttp/http/connection.h"

void AnswerFolderListing(Connection& connection, const std::string& folderPath) {
  DirectoryListing(connection, folderPath);
}

bool IsPhpScriptName(const std::string& name) {
  std::size_t dot = name.rfind('.');
  return dot != std::string::npos && name.compare(dot + 1, 3, "php") == 0;
}

bool AnswerWithPhpGateway(Connection& connection, const VirtualFile& file) {
  PhpGateway(connection, file.realPath);
  return true;
}
