#pragma once

#include <string>

// Path texts; what is on disk at a path is the file system's business
// (foundation/file_system.h).

// The file system's path separator: "\" on Windows, "/" elsewhere.
extern const char kPathSeparator;

std::string JoinPath(const std::string& folder, const std::string& name);
// Full path of the running program (the host), as the system reports it.
std::string ExecutablePath();
// The text before the last separator ("" when there is none).
std::string ParentFolder(const std::string& path);
// True when `path` is `folder` itself or lies below it, judged on the texts
// alone (both should be resolved first, see RealPath).
bool IsPathInside(const std::string& path, const std::string& folder);
// `path` made absolute against the current folder, with "." and ".." resolved
// and no trailing separator (a root such as "C:\" or "/" keeps its own).
std::string AbsolutePath(const std::string& path);
