#pragma once

#include <string>
#include <vector>

// The orvihttp-dir command line: `arguments` without the program name.
// Fills `out` and `err` with what goes to standard output and standard
// error, and returns the exit code: 0 done, 1 refused or failed (the file is
// left as it was), 2 wrong arguments (with the usage text).
int RunDirTool(const std::vector<std::string>& arguments, std::string& out, std::string& err);

extern const char kDirToolUsage[];
