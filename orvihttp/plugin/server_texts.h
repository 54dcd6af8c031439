#pragma once

#include "orvihttp/config/product_identity.h"

// The plugin's own texts, shown exactly as written.

inline constexpr char kWelcomeText[] =
    "Welcome to Orvi HTTP Server!\r\n\r\n"
    "Since this is your first time running this application,\r\n"
    "the Settings window will automatically open once you close this popup.\r\n"
    "In the Settings window, you can access HTTP server settings as well as\r\n"
    "set up the web access directory. Please refer to the documentation\r\n"
    "if you are wondering about the different settings.\r\n\r\n"
    "In the future, the Settings window can be reached through\r\n"
    "the Trellan icon in the system tray.\r\n";

inline constexpr char kAboutCaption[] = "About";
// The About box shows the banner, then these lines.
inline constexpr char kAboutMaker[] =
    "\r\n\r\n"
    "A personal web server for the Trellan tray.\r\n"
    "Made by Quintarvo.";

// The help page shipped beside the plugin library.
inline constexpr char kHelpPageFile[] = "OrviHTTP.html";
