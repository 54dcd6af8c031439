#pragma once

#include <cstdint>
#include <string>

// How a plugin library's file name ends: ".dll" on Windows, ".so" elsewhere.
extern const char kPluginFileSuffix[];

// True for a name that is longer than the suffix and ends in it exactly
// (lower case): "A.dll" passes, ".dll" and "A.DLL" do not.
bool IsPluginFileName(const std::string& name);

// Name of the shadow copy for one load attempt: "tmp" + counter + suffix.
std::string ShadowFileName(uint32_t counter);
