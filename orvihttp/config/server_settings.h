#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The settings the server's threads consult for every request and connection,
// as one value with plain fields. A request takes one and reads it
// throughout, instead of looking up each key by name under the store's lock.
struct ServerSettings {
  int32_t port = 0;  // the configured port, as error pages and listings name it
  int32_t maxUsers = 0;
  int32_t maxDown = 0;
  bool phpEnable = false;
  std::string phpPath;
  bool phpFastCgi = false;  // PHPMode is FastCGI (any case); anything else runs CGI
  bool autoLoadIndex = false;
  bool dirView = false;
  bool advertiseRanges = false;
  bool folderArchives = false;
  bool https = false;
  int32_t httpsPort = 0;
  std::string certificateFile;  // "" with keyFile "": the certificate made for the user
  std::string keyFile;
  bool redirectToHttps = false;
  int32_t maxUploadMB = 0;  // 0: no limit
  int32_t minFreeMB = 0;
  std::string installFolder;  // where a certificate made for the user lives
  bool log = false;
  std::string logPath;
  std::string binLogPath;
};

// The settings as the store holds them now. Taken from the store again only
// after it changed (a start, an Apply, any set), and otherwise shared: one
// atomic load. Any thread.
std::shared_ptr<const ServerSettings> CurrentServerSettings();
