#pragma once

#include <string>
#include <vector>

// The environment a started child gets: the parent's, with the `extra`
// entries ("NAME=value") in place of any of the same name. Names compare as
// the platform compares them (without case on Windows, where the entries
// also come sorted by name, as CreateProcess expects).
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra);
