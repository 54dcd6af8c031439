#include "orvihttp/ui/log_page_model.h"

#include <algorithm>

#include "foundation/setting_key.h"
#include "orvihttp/config/server_keys.h"

LineColour ColourOfKind(uint32_t kind) {
  switch (static_cast<LogLineKind>(kind)) {
    case LogLineKind::Answered:
      return {0, 128, 0};
    case LogLineKind::Failed:
      return {208, 0, 0};
    default:
      return {0, 0, 0};
  }
}

LogLinesUpdate LogLines::Refresh() {
  LogLinesUpdate update;
  std::vector<DisplayLine> fresh;
  uint64_t next = queue_.CopyFrom(next_, &fresh);
  if (next < next_) {
    // Numbers restart after a clear; what the page shows belongs to lines
    // that no longer exist.
    update.restarted = true;
    lines_.clear();
    fresh.clear();
    next = queue_.CopyFrom(0, &fresh);
  }
  next_ = next;
  const std::size_t before = lines_.size();
  for (DisplayLine& line : fresh) lines_.push_back(std::move(line));
  std::size_t overflow = lines_.size() > capacity_ ? lines_.size() - capacity_ : 0;
  lines_.erase(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(overflow));
  update.dropped = std::min(overflow, before);
  update.added = std::min(fresh.size(), lines_.size());
  return update;
}

void LogLines::Clear() {
  queue_.Clear();
  lines_.clear();
  next_ = 0;
}

std::string SavedLogText(const LogLines& lines) {
  std::string text;
  for (std::size_t index = 0; index < lines.size(); ++index) {
    text += lines[index].text;
    text += "\r\n";
  }
  return text;
}

std::string CopiedLogText(const LogLines& lines, const std::vector<int>& selected) {
  std::vector<int> order = selected;
  std::sort(order.begin(), order.end());
  std::string text;
  bool first = true;
  for (int index : order) {
    if (index < 0 || static_cast<std::size_t>(index) >= lines.size()) continue;
    if (!first) text += "\r\n";
    text += lines[static_cast<std::size_t>(index)].text;
    first = false;
  }
  return text;
}

std::optional<std::string> ServerLogToOpen() {
  std::string path = GetSetting(kLogPath);
  if (path.empty()) return std::nullopt;
  return path;
}

std::vector<std::pair<std::string, std::string>> SaveLogFilters() {
  return {{"Text file (*.txt)", "*.txt"}, {"All files (*.*)", "*.*"}};
}
