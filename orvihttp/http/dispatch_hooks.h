#pragma once

#include <string>

class Connection;
struct VirtualFile;

// Where a request leaves the file server: folder listings and PHP scripts
// are answered by the content side.

// Answers a folder request when listings are allowed (`folderPath` without
// its trailing "/"; "" is the root).
void AnswerFolderListing(Connection& connection, const std::string& folderPath);
// True for a URL name whose text after its last "." begins with "php"
// (case-sensitive: also .php3 and .phps).
bool IsPhpScriptName(const std::string& name);
// Runs a PHP script for the request; false when the gateway does not take it
// and the file is to be sent as it is.
bool AnswerWithPhpGateway(Connection& connection, const VirtualFile& file);
