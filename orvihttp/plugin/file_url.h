#pragma once

#include <string>

// A file: URL for a full local path: "\" becomes "/", a drive path gets the
// extra "/" ("file:///C:/a%20b.html"), and every byte outside the unreserved
// set and "/", ":" is percent-encoded.
std::string FileUrlForPath(const std::string& path);
