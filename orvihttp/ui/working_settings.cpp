#include "orvihttp/ui/working_settings.h"

#include <utility>

WorkingSettings::WorkingSettings(std::vector<Setting> entries) : entries_(std::move(entries)) {}

WorkingSettings WorkingSettings::CopyOfLive() {
  return WorkingSettings(AllSettings());
}

// Like the live store, a set replaces the entry's type and clears its other
// values, so what is written back later has exactly one meaningful value.
Setting& WorkingSettings::Entry(const std::string& name, Setting::Type type) {
  Setting* entry = nullptr;
  for (Setting& existing : entries_) {
    if (existing.name == name) {
      entry = &existing;
      break;
    }
  }
  if (!entry) {
    entry = &entries_.emplace_back();
    entry->name = name;
  }
  entry->type = type;
  entry->intValue = 0;
  entry->boolValue = false;
  entry->stringValue.clear();
  entry->persistent = true;
  return *entry;
}

const Setting* WorkingSettings::Find(const std::string& name) const {
  for (const Setting& entry : entries_) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

void WorkingSettings::SetInt(const std::string& name, int32_t value) {
  Entry(name, Setting::Type::Int).intValue = value;
}

void WorkingSettings::SetBool(const std::string& name, bool value) {
  Entry(name, Setting::Type::Bool).boolValue = value;
}

void WorkingSettings::SetString(const std::string& name, const std::string& value) {
  Entry(name, Setting::Type::String).stringValue = value;
}

bool WorkingSettings::Has(const std::string& name) const {
  return Find(name) != nullptr;
}

int32_t WorkingSettings::GetInt(const std::string& name) const {
  const Setting* entry = Find(name);
  return entry ? entry->intValue : 0;
}

bool WorkingSettings::GetBool(const std::string& name) const {
  const Setting* entry = Find(name);
  return entry ? entry->boolValue : false;
}

std::string WorkingSettings::GetString(const std::string& name) const {
  const Setting* entry = Find(name);
  return entry ? entry->stringValue : std::string();
}
