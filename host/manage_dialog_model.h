#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the "Trellan Settings" dialog shows, apart from drawing it.

// A packed plugin version as the dialog shows it: "major.minor.patch".
std::string FormatPluginVersion(uint32_t packed);

// Which drop-down entry the static mode selects: the plugin named by
// StaticIcon, else the first one, whose name then becomes StaticIcon.
struct StaticIconChoice {
  int index = 0;
  // Set StaticIcon to `name` (persistent).
  bool adopt = false;
  std::string name;
};
StaticIconChoice ChooseStaticIcon(const std::vector<std::string>& names,
                                  const std::string& staticIcon);

// The rotation timer's period for RotateSeconds; at least one second, so a
// zero or negative value in Trellan.ini cannot make the timer spin.
uint32_t RotationPeriodMs(int32_t rotateSeconds);
