#pragma once

#include <windows.h>

// The module this code is linked into: the plugin library inside the plugin,
// the program inside the host. Resources and dialog templates come from it.
HINSTANCE ThisModule();
