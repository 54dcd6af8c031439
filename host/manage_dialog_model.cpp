#include "host/manage_dialog_model.h"

#include <algorithm>

std::string FormatPluginVersion(uint32_t packed) {
  return std::to_string((packed >> 16) & 0xFF) + "." + std::to_string((packed >> 8) & 0xFF) + "." +
         std::to_string(packed & 0xFF);
}

StaticIconChoice ChooseStaticIcon(const std::vector<std::string>& names,
                                  const std::string& staticIcon) {
  StaticIconChoice choice;
  auto found = std::find(names.begin(), names.end(), staticIcon);
  if (found != names.end()) {
    choice.index = static_cast<int>(found - names.begin());
    return choice;
  }
  if (!names.empty()) {
    choice.adopt = true;
    choice.name = names.front();
  }
  return choice;
}

uint32_t RotationPeriodMs(int32_t rotateSeconds) {
  constexpr int32_t kLongest = 0x7FFFFFFF / 1000;
  return static_cast<uint32_t>(std::clamp(rotateSeconds, 1, kLongest)) * 1000u;
}
