#include "orvihttp/config/server_settings.h"

#include <atomic>

#include "foundation/setting_key.h"
#include "orvihttp/config/php_mode.h"
#include "orvihttp/config/server_keys.h"

namespace {

struct Snapshot {
  uint64_t generation = 0;
  std::shared_ptr<const ServerSettings> settings;
};

std::atomic<std::shared_ptr<const Snapshot>> current;

std::shared_ptr<const ServerSettings> ReadStore() {
  auto settings = std::make_shared<ServerSettings>();
  settings->port = GetSetting(kPort);
  settings->maxUsers = GetSetting(kMaxUsers);
  settings->maxDown = GetSetting(kMaxDown);
  settings->phpEnable = GetSetting(kPhpEnable);
  settings->phpPath = GetSetting(kPhpPath);
  settings->phpFastCgi = PhpModeIsFastCgi(GetSetting(kPhpMode));
  settings->autoLoadIndex = GetSetting(kAutoLoadIndex);
  settings->dirView = GetSetting(kDirView);
  settings->advertiseRanges = GetSetting(kAdvertiseRanges);
  settings->folderArchives = GetSetting(kFolderArchives);
  settings->https = GetSetting(kHttps);
  settings->httpsPort = GetSettingOrDefault(kHttpsPort);
  settings->certificateFile = GetSetting(kCertificateFile);
  settings->keyFile = GetSetting(kKeyFile);
  settings->redirectToHttps = GetSetting(kRedirectToHttps);
  settings->maxUploadMB = GetSettingOrDefault(kMaxUploadMB);
  settings->minFreeMB = GetSettingOrDefault(kMinFreeMB);
  settings->installFolder = GetSetting(kInstallPath);
  settings->log = GetSetting(kLog);
  settings->logPath = GetSetting(kLogPath);
  settings->binLogPath = GetSetting(kBinLogPath);
  return settings;
}

}  // namespace

std::shared_ptr<const ServerSettings> CurrentServerSettings() {
  const uint64_t generation = SettingsGeneration();
  std::shared_ptr<const Snapshot> snapshot = current.load(std::memory_order_acquire);
  if (snapshot && snapshot->generation == generation) return snapshot->settings;
  // Read after the count: a change during the read bumps it again, and the
  // next caller reads once more. Two threads may both read; either result
  // is current for its count.
  auto fresh = std::make_shared<Snapshot>(Snapshot{generation, ReadStore()});
  current.store(fresh, std::memory_order_release);
  return fresh->settings;
}
