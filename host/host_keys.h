#pragma once

#include "foundation/setting_key.h"

// Every configuration key of the host, with its default and whether it
// reaches Trellan.ini.
inline constexpr StringKey kHostInstallPath{"InstallPath", "", false};
// The "Trellan Settings" dialog is open.
inline constexpr BoolKey kHostDialogOpen{"MainDialog", false, false};
inline constexpr BoolKey kRotateIcon{"RotateIcon", true, true};
inline constexpr IntKey kRotateSeconds{"RotateSeconds", 5, true};
inline constexpr StringKey kStaticIcon{"StaticIcon", "", true};
