#include "foundation/settings.h"

#include <atomic>
#include <string_view>

#include "foundation/dovetab.h"
#include "foundation/singleton.h"

namespace {

struct SettingsStore {
  std::vector<Setting> entries;  // insertion order; never shrinks while the store lives
};

Singleton<SettingsStore> gSettings;

// Counts the changes of the store; bumped after each change, so a reader
// that sees a count has seen the values of every change before it.
std::atomic<uint64_t> gGeneration{0};

void Changed() {
  gGeneration.fetch_add(1, std::memory_order_release);
}

Setting* Find(SettingsStore& store, std::string_view name) {
  for (Setting& entry : store.entries) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

const Setting* FindConst(SettingsStore& store, const char* name) {
  return name ? Find(store, name) : nullptr;
}

// Finds or appends the entry and gives it `type` with every value field reset,
// so only the field of its type carries a value.
Setting& Prepare(SettingsStore& store, std::string_view name, Setting::Type type, bool persistent) {
  Setting* entry = Find(store, name);
  if (!entry) {
    store.entries.emplace_back();
    entry = &store.entries.back();
    entry->name.assign(name);
  }
  entry->type = type;
  entry->intValue = 0;
  entry->boolValue = false;
  entry->stringValue.clear();
  entry->persistent = persistent;
  return *entry;
}

// Sets an entry by its own type; entries of an unknown type are skipped.
void SetFrom(SettingsStore& store, const Setting& from, bool persistent) {
  switch (from.type) {
    case Setting::Type::Int:
      Prepare(store, from.name, from.type, persistent).intValue = from.intValue;
      break;
    case Setting::Type::Bool:
      Prepare(store, from.name, from.type, persistent).boolValue = from.boolValue;
      break;
    case Setting::Type::String:
      Prepare(store, from.name, from.type, persistent).stringValue = from.stringValue;
      break;
  }
}

}  // namespace

void SetInt(const char* name, int32_t value, bool persistent) {
  if (!name) return;
  SingletonAccess<SettingsStore> store(gSettings);
  Prepare(*store, name, Setting::Type::Int, persistent).intValue = value;
  Changed();
}

void SetBool(const char* name, bool value, bool persistent) {
  if (!name) return;
  SingletonAccess<SettingsStore> store(gSettings);
  Prepare(*store, name, Setting::Type::Bool, persistent).boolValue = value;
  Changed();
}

void SetString(const char* name, const std::string& value, bool persistent) {
  if (!name) return;
  SingletonAccess<SettingsStore> store(gSettings);
  Prepare(*store, name, Setting::Type::String, persistent).stringValue = value;
  Changed();
}

bool HasSetting(const char* name) {
  SingletonAccess<SettingsStore> store(gSettings);
  return FindConst(*store, name) != nullptr;
}

int32_t GetInt(const char* name) {
  SingletonAccess<SettingsStore> store(gSettings);
  const Setting* entry = FindConst(*store, name);
  return entry ? entry->intValue : 0;
}

bool GetBool(const char* name) {
  SingletonAccess<SettingsStore> store(gSettings);
  const Setting* entry = FindConst(*store, name);
  return entry ? entry->boolValue : false;
}

std::string GetString(const char* name) {
  SingletonAccess<SettingsStore> store(gSettings);
  const Setting* entry = FindConst(*store, name);
  return entry ? entry->stringValue : std::string();
}

void LoadSettingsText(const std::string& text) {
  // The lock is held for the whole text, so nobody sees half a file.
  SingletonAccess<SettingsStore> store(gSettings);
  dovetab::Parse(text, [&store](const Setting& entry) { SetFrom(*store, entry, true); });
  Changed();
}

std::string SaveSettingsText() {
  SingletonAccess<SettingsStore> store(gSettings);
  std::vector<Setting> persistent;
  for (const Setting& entry : store->entries) {
    if (entry.persistent) persistent.push_back(entry);
  }
  return dovetab::Write(persistent);
}

std::vector<Setting> AllSettings() {
  SingletonAccess<SettingsStore> store(gSettings);
  return store->entries;
}

void ApplySettings(const std::vector<Setting>& entries) {
  SingletonAccess<SettingsStore> store(gSettings);
  for (const Setting& entry : entries) {
    if (entry.persistent) SetFrom(*store, entry, true);
  }
  Changed();
}

void DestroySettings() {
  gSettings.Destroy();
  Changed();
}

uint64_t SettingsGeneration() {
  return gGeneration.load(std::memory_order_acquire);
}
