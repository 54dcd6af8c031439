#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "plugin_api/plugin_api.h"

// The plugins' status reports and the one tray icon that stands for all of
// them. Lives on the host's main thread only.
//
// Three lists, priority 0 (most urgent) to 2, in arrival order; a plugin has at
// most one record in all three together. With RotateIcon the tray shows the
// front record of the most urgent non-empty list (the rotation step cycles
// priority 2); without it, the record of the plugin named by StaticIcon.
class TrayStatus {
 public:
  // The pluginId of the loaded plugin with exactly this name, if any.
  using FindPlugin = std::function<std::optional<int32_t>(const std::string& name)>;
  // Puts an icon and tip on the tray icon.
  using ShowTray = std::function<void(IconHandle icon, const std::string& tip)>;

  static constexpr int kPriorities = 3;

  TrayStatus(IconHandle defaultIcon, std::string defaultTip, FindPlugin findPlugin,
             ShowTray showTray);

  // A status message (codes StatusPriority0..StatusRefresh) with its payload;
  // a record payload of any size but 76 bytes is ignored.
  void HandleMessage(uint32_t code, const void* data, uint32_t count);

  void Update(int priority, const StatusRecord& record);
  void Remove(int32_t pluginId);
  void Refresh();
  // Timer tick: cycles priority 2 when it alone holds records (two or more).
  void RotationStep();
  // The plugin and command a tray double-click goes to, if any.
  std::optional<std::pair<int32_t, int32_t>> DoubleClickTarget() const;
  // Host exit: forgets every record.
  void Clear();

  const std::deque<StatusRecord>& List(int priority) const { return lists_[priority]; }
  IconHandle icon() const { return icon_; }
  const std::string& tip() const { return tip_; }

 private:
  // The record the tray should show under the current settings, or null for
  // the default.
  const StatusRecord* Displayed() const;
  const StatusRecord* FrontOfMostUrgent() const;
  // Rotation is off and StaticIcon names this plugin.
  bool IsPinned(int32_t pluginId) const;

  IconHandle defaultIcon_;
  std::string defaultTip_;
  FindPlugin findPlugin_;
  ShowTray showTray_;
  std::deque<StatusRecord> lists_[kPriorities];
  IconHandle icon_;
  std::string tip_;
  // Whose record the tray shows since the last refresh (none: the default).
  std::optional<int32_t> shownPlugin_;
};
