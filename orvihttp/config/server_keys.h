#pragma once

#include "foundation/setting_key.h"

// Every configuration key of the server plugin, with its default and whether
// it reaches OrviHTTP.ini. Every layer of the plugin reads them, so they sit
// below all of them.

// Run-time entries, never saved.
inline constexpr StringKey kInstallPath{"InstallPath", "", false};
inline constexpr StringKey kBinLogPath{"BinLogPath", "OrviHTTP.binlog", false};

// Saved entries, in the order their defaults are set at start.
inline constexpr BoolKey kFirstTime{"FirstTime", true, true};
inline constexpr BoolKey kActive{"Active", false, true};
inline constexpr IntKey kPort{"Port", 80, true};
inline constexpr BoolKey kPhpEnable{"PHPEnable", false, true};
inline constexpr IntKey kMaxUsers{"MaxUsers", 0, true};
inline constexpr IntKey kMaxDown{"MaxDown", 0, true};
inline constexpr BoolKey kAutoLoadIndex{"AutoLoadIndex", true, true};
inline constexpr BoolKey kDirView{"DirView", true, true};
inline constexpr BoolKey kLog{"Log", true, true};
inline constexpr StringKey kLogPath{"LogPath", "OrviHTTP.log", true};

// Saved entries that get no default at start: absent until the settings window
// sets them, and read as "" and 0 until then.
inline constexpr StringKey kPhpPath{"PHPPath", "", true};
inline constexpr IntKey kStats{"Stats", 0, true};
// Yes: a file sent whole also says "Accept-Ranges: bytes", since some
// browsers resume a paused download only when they saw it. Answers to a
// Range request say it either way.
inline constexpr BoolKey kAdvertiseRanges{"AdvertiseRanges", false, true};
// Yes: a listing links to "?zip" after its folder's address, which sends the
// folder and everything below it the client may see as one .zip, made while
// it is sent.
inline constexpr BoolKey kFolderArchives{"FolderArchives", false, true};
// HTTPS beside HTTP: Yes listens on `HTTPSPort` too, with the certificate
// and key files named (both "": a certificate made for the user). Yes for
// `RedirectToHTTPS` sends plain-HTTP requests there with a 301.
inline constexpr BoolKey kHttps{"HTTPS", false, true};
inline constexpr IntKey kHttpsPort{"HTTPSPort", 8443, true};
inline constexpr StringKey kCertificateFile{"CertificateFile", "", true};
inline constexpr StringKey kKeyFile{"KeyFile", "", true};
inline constexpr BoolKey kRedirectToHttps{"RedirectToHTTPS", false, true};
// Uploads into folders marked for them: `MaxUploadMB` bounds one upload (0:
// no limit), and `MinFreeMB` of the disk stay free whatever arrives.
inline constexpr IntKey kMaxUploadMB{"MaxUploadMB", 0, true};
inline constexpr IntKey kMinFreeMB{"MinFreeMB", 100, true};
// How PHP scripts run: "CGI" starts the PHP program for each request;
// "FastCGI" keeps a few of them running and hands each request to an idle
// one, which spares the start of a program per page.
inline constexpr StringKey kPhpMode{"PHPMode", "CGI", true};
inline constexpr char kPhpModeCgi[] = "CGI";
inline constexpr char kPhpModeFastCgi[] = "FastCGI";
