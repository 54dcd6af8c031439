#pragma once

#include <cstdint>
#include <string>

#include "foundation/settings.h"

// A configuration key: its name, its default and whether it is saved, in one
// place. Code reads and writes the store through these, so a misspelt name is
// a compile error instead of a silent default.
struct IntKey {
  const char* name;
  int32_t defaultValue;
  bool persistent;
};

struct BoolKey {
  const char* name;
  bool defaultValue;
  bool persistent;
};

// For a path key the default is a file name inside the install folder.
struct StringKey {
  const char* name;
  const char* defaultValue;
  bool persistent;
};

inline int32_t GetSetting(const IntKey& key) {
  return GetInt(key.name);
}
inline bool GetSetting(const BoolKey& key) {
  return GetBool(key.name);
}
inline std::string GetSetting(const StringKey& key) {
  return GetString(key.name);
}

// The stored value, or the key's default while the store has no entry of
// that name: for keys that stay out of the saved file until someone sets them.
inline int32_t GetSettingOrDefault(const IntKey& key) {
  return HasSetting(key.name) ? GetInt(key.name) : key.defaultValue;
}

// Stores a value with the key's own persistence.
inline void SetSetting(const IntKey& key, int32_t value) {
  SetInt(key.name, value, key.persistent);
}
inline void SetSetting(const BoolKey& key, bool value) {
  SetBool(key.name, value, key.persistent);
}
inline void SetSetting(const StringKey& key, const std::string& value) {
  SetString(key.name, value, key.persistent);
}

// Stores the key's default.
inline void SetDefault(const IntKey& key) {
  SetSetting(key, key.defaultValue);
}
inline void SetDefault(const BoolKey& key) {
  SetSetting(key, key.defaultValue);
}
inline void SetDefault(const StringKey& key) {
  SetSetting(key, key.defaultValue);
}
