#pragma once

// Resource numbers of the plugin library, shared by the .rc file and the code.
#define ORVI_ICON_BUSY 145
#define ORVI_ICON_OFFLINE 146
#define ORVI_ICON_ONLINE 147

// The settings window: its own icon (also on the text prompts), one icon per
// tab, and the start and stop buttons of the Info page.
#define ORVI_ICON_WINDOW 140
#define ORVI_ICON_TAB_INFO 130
#define ORVI_ICON_TAB_SETTINGS 131
#define ORVI_ICON_TAB_STATISTICS 133
#define ORVI_ICON_TAB_LOG 134
#define ORVI_ICON_TAB_DIRECTORY 162
#define ORVI_ICON_START 164
#define ORVI_ICON_STOP 165
// The Statistics page: a downloaded file in its list.
#define ORVI_ICON_DOWNLOAD 163
