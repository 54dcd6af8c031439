#pragma once

#include <string>

// The file system's path separator: "\" on Windows, "/" elsewhere.
extern const char kPathSeparator;

std::string JoinPath(const std::string& folder, const std::string& name);
// Full path of the running program (the host), as the system reports it.
std::string ExecutablePath();
// The text before the last separator ("" when there is none).
std::string ParentFolder(const std::string& path);
bool IsFolder(const std::string& path);
bool IsFile(const std::string& path);
// Creates one folder; true when it exists afterwards.
bool CreateFolder(const std::string& path);
bool RemoveFile(const std::string& path);
bool RemoveFolder(const std::string& path);
