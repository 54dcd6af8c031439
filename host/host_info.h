#pragma once

#include <string>

// "Trellan v2.0.2": the window title, the default tray tip and the About box's
// first line.
std::string HostTitle();

// The About box: the title followed by the lines naming the maker.
std::string AboutText();

// The hidden window's class name, by which a new host finds a running one.
inline constexpr char kHostWindowClass[] = "Trellan";
// A named event the Windows host also exits on, as on HostQuit: a caller
// that cannot see the host's window (another desktop) can still end it.
inline constexpr char kHostQuitEventName[] = "Local\\TrellanQuitRequest";
// The host's product name below the registry's maker key.
inline constexpr char kHostProduct[] = "Trellan";
// The folder of plugin libraries in the installation folder.
inline constexpr char kPluginsFolder[] = "Plugins";
// The settings file in the installation folder.
inline constexpr char kHostSettingsFile[] = "Trellan.ini";
// Tray icon identity and the rotation timer.
inline constexpr unsigned kTrayIconId = 100;
inline constexpr unsigned kRotationTimerId = 192;
inline constexpr unsigned kStartupRotationPeriodMs = 5000;
