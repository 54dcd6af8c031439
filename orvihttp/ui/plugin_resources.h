#pragma once

// Resource numbers of the plugin library, shared by the .rc file and the code.
#define ORVI_ICON_BUSY 145
#define ORVI_ICON_OFFLINE 146
#define ORVI_ICON_ONLINE 147
