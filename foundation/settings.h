#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One named, typed entry of the settings store.
struct Setting {
  enum class Type : int32_t { Int = 0, Bool = 1, String = 2 };
  std::string name;
  Type type = Type::Int;
  int32_t intValue = 0;
  bool boolValue = false;
  std::string stringValue;
  bool persistent = false;
};

// The deliverable's settings store: a process-wide singleton (one per module),
// created on first use, guarded by its own lock for every operation. Gets
// return copies; a null name makes a set do nothing and a get return its
// default.
void SetInt(const char* name, int32_t value, bool persistent);
void SetBool(const char* name, bool value, bool persistent);
void SetString(const char* name, const std::string& value, bool persistent);
// True when the store has an entry of that name, of whatever type.
bool HasSetting(const char* name);
int32_t GetInt(const char* name);
bool GetBool(const char* name);
std::string GetString(const char* name);

// Reads a Dovetab v2 text into the store (every entry read becomes persistent).
void LoadSettingsText(const std::string& text);
// The whole Dovetab v2 text of the persistent entries, in insertion order.
std::string SaveSettingsText();
// A copy of every entry, in insertion order.
std::vector<Setting> AllSettings();
// Sets every persistent entry of `entries` into the store, in order.
void ApplySettings(const std::vector<Setting>& entries);
// Ends the store; the next use starts an empty one.
void DestroySettings();
// Grows with every change of the store, read without its lock: a reader that
// keeps values taken from the store knows they are current while this stays
// what it was when they were taken.
uint64_t SettingsGeneration();
