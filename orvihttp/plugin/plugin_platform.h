#pragma once

#include "plugin_api/plugin_api.h"

// What the plugin needs from the desktop for its lifetime: COM and the common
// controls on Windows (on the host's main thread, in Start), nothing
// elsewhere. Shutdown undoes Initialise, on the same thread, in Stop.
void InitialisePluginPlatform();
void ShutdownPluginPlatform();

// An icon of the library's own resources (145 busy, 146 Offline, 147
// Online). Elsewhere the resource number itself stands for the icon.
IconHandle LoadPluginIcon(int resource);
