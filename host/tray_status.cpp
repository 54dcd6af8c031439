#include "host/tray_status.h"

#include <algorithm>
#include <cstring>

#include "foundation/settings.h"
#include "host/host_keys.h"

namespace {

std::string TipText(const StatusRecord& record) {
  return std::string(record.tip, strnlen(record.tip, sizeof record.tip));
}

}  // namespace

TrayStatus::TrayStatus(IconHandle defaultIcon, std::string defaultTip, FindPlugin findPlugin,
                       ShowTray showTray)
    : defaultIcon_(defaultIcon),
      defaultTip_(std::move(defaultTip)),
      findPlugin_(std::move(findPlugin)),
      showTray_(std::move(showTray)),
      icon_(defaultIcon_),
      tip_(defaultTip_) {}

void TrayStatus::HandleMessage(uint32_t code, const void* data, uint32_t count) {
  if (code == StatusRefresh) {
    Refresh();
    return;
  }
  if (code < StatusPriority0 || code > StatusRemove) return;
  if (count != sizeof(StatusRecord) || !data) return;
  StatusRecord record;
  std::memcpy(&record, data, sizeof record);
  if (code == StatusRemove) {
    Remove(record.pluginId);
  } else {
    Update(static_cast<int>(code - StatusPriority0), record);
  }
}

void TrayStatus::Update(int priority, const StatusRecord& record) {
  for (int other = 0; other < kPriorities; ++other) {
    if (other == priority) continue;
    std::erase_if(lists_[other],
                  [&](const StatusRecord& entry) { return entry.pluginId == record.pluginId; });
  }
  std::deque<StatusRecord>& list = lists_[priority];
  auto found = std::find_if(list.begin(), list.end(), [&](const StatusRecord& entry) {
    return entry.pluginId == record.pluginId;
  });
  bool atFrontOrNew = true;
  if (found != list.end()) {
    found->icon = record.icon;
    found->command = record.command;
    std::memcpy(found->tip, record.tip, sizeof found->tip);
    atFrontOrNew = found == list.begin();
  } else {
    list.push_back(record);
  }
  bool moreUrgentEmpty = true;
  for (int higher = 0; higher < priority; ++higher) {
    moreUrgentEmpty = moreUrgentEmpty && lists_[higher].empty();
  }
  // Without rotation the pinned plugin's record may sit anywhere; its changes
  // must reach the tray all the same.
  bool shown = shownPlugin_ == record.pluginId || IsPinned(record.pluginId);
  if ((moreUrgentEmpty && atFrontOrNew) || shown) Refresh();
}

void TrayStatus::Remove(int32_t pluginId) {
  const StatusRecord* front = FrontOfMostUrgent();
  bool wasFront = front && front->pluginId == pluginId;
  // The tray must not keep showing an icon its plugin is about to destroy, also
  // when rotation is off and the shown record is not at a front.
  bool wasShown = shownPlugin_ == pluginId;
  for (auto& list : lists_) {
    std::erase_if(list, [&](const StatusRecord& entry) { return entry.pluginId == pluginId; });
  }
  if (wasFront || wasShown) Refresh();
}

const StatusRecord* TrayStatus::FrontOfMostUrgent() const {
  for (const auto& list : lists_) {
    if (!list.empty()) return &list.front();
  }
  return nullptr;
}

bool TrayStatus::IsPinned(int32_t pluginId) const {
  if (GetSetting(kRotateIcon) || !findPlugin_) return false;
  return findPlugin_(GetSetting(kStaticIcon)) == pluginId;
}

const StatusRecord* TrayStatus::Displayed() const {
  if (GetSetting(kRotateIcon)) return FrontOfMostUrgent();
  std::optional<int32_t> pinned = findPlugin_ ? findPlugin_(GetSetting(kStaticIcon)) : std::nullopt;
  if (!pinned) return nullptr;
  for (const auto& list : lists_) {
    for (const StatusRecord& entry : list) {
      if (entry.pluginId == *pinned) return &entry;
    }
  }
  return nullptr;
}

void TrayStatus::Refresh() {
  const StatusRecord* shown = Displayed();
  if (shown) {
    icon_ = shown->icon;
    std::string tip = TipText(*shown);
    if (!tip.empty()) tip_ = tip;
    shownPlugin_ = shown->pluginId;
  } else {
    icon_ = defaultIcon_;
    tip_ = defaultTip_;
    shownPlugin_.reset();
  }
  if (showTray_) showTray_(icon_, tip_);
}

void TrayStatus::RotationStep() {
  if (!lists_[0].empty() || !lists_[1].empty() || lists_[2].size() < 2) return;
  lists_[2].push_back(lists_[2].front());
  lists_[2].pop_front();
  Refresh();
}

std::optional<std::pair<int32_t, int32_t>> TrayStatus::DoubleClickTarget() const {
  const StatusRecord* front = FrontOfMostUrgent();
  if (!front || front->command < 0) return std::nullopt;
  return std::make_pair(front->pluginId, front->command);
}

void TrayStatus::Clear() {
  for (auto& list : lists_) list.clear();
  shownPlugin_.reset();
}
