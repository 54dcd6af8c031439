#pragma once

// The plugin's own files in its install folder: the configuration the plugin
// reads at start and writes at stop, and the virtual directory. The plugin
// object and the settings window's Apply both write them.
inline constexpr char kIniFileName[] = "OrviHTTP.ini";
inline constexpr char kDirFileName[] = "OrviHTTP.dir";
// The server's accounts, which orvihttp-users writes (orvihttp/access/user_accounts.h).
inline constexpr char kUsersFileName[] = "OrviHTTP.users";
