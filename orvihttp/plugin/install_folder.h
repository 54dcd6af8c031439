#pragma once

#include <string>

// The plugin's install folder: the registry `Path` of "Orvi HTTP Server", or,
// when that is missing, empty or names a folder that no longer exists, the
// host's folder + "Plugins" + "Orvi HTTP Server", which is then stored as
// `Path`.
std::string FindInstallFolder();
