#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/setting_key.h"
#include "foundation/settings.h"

// The Settings page's private copy of the settings store. Edits land here and
// reach the live store only through ApplyChanges, so Cancel drops them.
// Owned by the window thread; it needs no lock.
class WorkingSettings {
 public:
  // An empty copy.
  WorkingSettings() = default;
  explicit WorkingSettings(std::vector<Setting> entries);
  // Every entry of the live store, taken under its lock.
  static WorkingSettings CopyOfLive();

  // Set operations create a missing entry and always mark it persistent,
  // because whatever the user edits must reach OrviHTTP.ini.
  void SetInt(const std::string& name, int32_t value);
  void SetBool(const std::string& name, bool value);
  void SetString(const std::string& name, const std::string& value);
  void Set(const IntKey& key, int32_t value) { SetInt(key.name, value); }
  void Set(const BoolKey& key, bool value) { SetBool(key.name, value); }
  void Set(const StringKey& key, const std::string& value) { SetString(key.name, value); }

  // 0 / false / "" when absent, like the live store.
  // True when the copy has an entry of that name.
  bool Has(const std::string& name) const;
  int32_t GetInt(const std::string& name) const;
  bool GetBool(const std::string& name) const;
  std::string GetString(const std::string& name) const;
  int32_t Get(const IntKey& key) const { return GetInt(key.name); }
  bool Get(const BoolKey& key) const { return GetBool(key.name); }
  std::string Get(const StringKey& key) const { return GetString(key.name); }

  // Every entry, in the store's order with new ones at the end.
  const std::vector<Setting>& Entries() const { return entries_; }

 private:
  Setting& Entry(const std::string& name, Setting::Type type);
  const Setting* Find(const std::string& name) const;

  std::vector<Setting> entries_;
};
