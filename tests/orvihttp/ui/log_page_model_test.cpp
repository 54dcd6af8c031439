// The Log page's lines, fed through the real display queue, and the texts it
// saves, copies and opens.
#include "orvihttp/ui/log_page_model.h"

#include <gtest/gtest.h>

#include "foundation/setting_key.h"
#include "foundation/settings.h"
#include "orvihttp/config/server_keys.h"

namespace {

class LogPageModel : public ::testing::Test {
 protected:
  DisplayQueue queue_;

  static std::vector<std::string> Texts(const LogLines& lines) {
    std::vector<std::string> texts;
    for (std::size_t index = 0; index < lines.size(); ++index) texts.push_back(lines[index].text);
    return texts;
  }
};

TEST_F(LogPageModel, EachKindHasItsColour) {
  EXPECT_EQ(ColourOfKind(0), (LineColour{0, 0, 0}));
  EXPECT_EQ(ColourOfKind(2), (LineColour{0, 128, 0}));
  EXPECT_EQ(ColourOfKind(3), (LineColour{208, 0, 0}));
  for (uint32_t other : {1u, 4u, 0xFFFFFFFFu}) {
    EXPECT_EQ(ColourOfKind(other), (LineColour{0, 0, 0})) << other;
  }
}

TEST_F(LogPageModel, RefreshTakesOnlyTheNewLinesInOrder) {
  for (int request = 0; request < 500; ++request)
    queue_.Post(LogLineKind::Answered, "line " + std::to_string(request));
  LogLines lines(queue_);
  LogLinesUpdate first = lines.Refresh();
  EXPECT_EQ(first.added, 500u) << "a window opened late shows everything at once";
  EXPECT_EQ(first.dropped, 0u);
  ASSERT_EQ(lines.size(), 500u);
  EXPECT_EQ(lines[0].text, "line 0");
  EXPECT_EQ(lines[499].text, "line 499");

  EXPECT_EQ(lines.Refresh().added, 0u);
  queue_.Post(LogLineKind::Failed, "missing");
  queue_.Post(LogLineKind::ListenerEvent, "started");
  LogLinesUpdate next = lines.Refresh();
  EXPECT_EQ(next.added, 2u);
  EXPECT_FALSE(next.restarted);
  ASSERT_EQ(lines.size(), 502u);
  EXPECT_EQ(lines[500].kind, 3u);
  EXPECT_EQ(lines[501].text, "started");
  // Only the page's "Clear log" takes lines out of the queue.
  EXPECT_EQ(queue_.AllLines().size(), 502u);
}

TEST_F(LogPageModel, ClearEmptiesQueueAndPageAndNewLinesStartTheList) {
  queue_.Post(LogLineKind::Answered, "old");
  LogLines lines(queue_);
  lines.Refresh();
  lines.Clear();
  EXPECT_EQ(lines.size(), 0u);
  EXPECT_TRUE(queue_.AllLines().empty());
  queue_.Post(LogLineKind::Failed, "new");
  LogLinesUpdate update = lines.Refresh();
  EXPECT_FALSE(update.restarted);
  EXPECT_EQ(Texts(lines), std::vector<std::string>{"new"});

  // A queue emptied behind the page's back: the page starts over rather than
  // waiting for the numbers to catch up.
  queue_.Post(LogLineKind::Answered, "more");
  lines.Refresh();
  queue_.Clear();
  queue_.Post(LogLineKind::ListenerEvent, "after");
  update = lines.Refresh();
  EXPECT_TRUE(update.restarted);
  EXPECT_EQ(Texts(lines), std::vector<std::string>{"after"});
}

TEST_F(LogPageModel, OldestLinesDropOffTheFrontAtCapacity) {
  LogLines small(queue_, 3);
  queue_.Post(LogLineKind::Answered, "a");
  queue_.Post(LogLineKind::Answered, "b");
  small.Refresh();
  queue_.Post(LogLineKind::Answered, "c");
  queue_.Post(LogLineKind::Answered, "d");
  queue_.Post(LogLineKind::Answered, "e");
  LogLinesUpdate update = small.Refresh();
  EXPECT_EQ(update.dropped, 2u);
  EXPECT_EQ(update.added, 3u);
  EXPECT_EQ(Texts(small), (std::vector<std::string>{"c", "d", "e"}));

  // The real size: the page keeps as many lines as the queue, the newest.
  queue_.Clear();
  LogLines page(queue_);
  for (std::size_t line = 0; line < kDisplayQueueLimit + 5; ++line) {
    queue_.Post(LogLineKind::Answered, std::to_string(line));
  }
  update = page.Refresh();
  EXPECT_EQ(update.added, kDisplayQueueLimit);
  ASSERT_EQ(page.size(), kDisplayQueueLimit);
  EXPECT_EQ(page[0].text, "5");
  queue_.Post(LogLineKind::Failed, "one more");
  update = page.Refresh();
  EXPECT_EQ(update.dropped, 1u);
  EXPECT_EQ(update.added, 1u);
  EXPECT_EQ(page[0].text, "6");
  EXPECT_EQ(page[kDisplayQueueLimit - 1].text, "one more");

  // Long lines, cut at 255 characters, going round the queue three times:
  // the oldest texts give their room back and the newest read whole.
  queue_.Clear();
  LogLines longLines(queue_);
  const std::size_t total = 3 * kDisplayQueueLimit + 7;
  for (std::size_t line = 0; line < total; ++line) {
    queue_.Post(LogLineKind::Answered, std::to_string(line) + std::string(300, 'x'));
  }
  longLines.Refresh();
  ASSERT_EQ(longLines.size(), kDisplayQueueLimit);
  const std::string oldest = std::to_string(total - kDisplayQueueLimit);
  EXPECT_EQ(longLines[0].text, (oldest + std::string(300, 'x')).substr(0, 255));
  EXPECT_EQ(longLines[kDisplayQueueLimit - 1].text.size(), 255u);
  EXPECT_EQ(longLines[kDisplayQueueLimit - 1].text.rfind(std::to_string(total - 1), 0), 0u);
}

TEST_F(LogPageModel, SavedAndCopiedTexts) {
  LogLines lines(queue_);
  EXPECT_EQ(SavedLogText(lines), "") << "an empty list saves an empty file";
  EXPECT_EQ(CopiedLogText(lines, {}), "");
  queue_.Post(LogLineKind::Answered, "first");
  queue_.Post(LogLineKind::Failed, "second");
  queue_.Post(LogLineKind::ListenerEvent, "third");
  lines.Refresh();
  EXPECT_EQ(SavedLogText(lines), "first\r\nsecond\r\nthird\r\n");
  EXPECT_EQ(CopiedLogText(lines, {1}), "second");
  EXPECT_EQ(CopiedLogText(lines, {2, 0}), "first\r\nthird");
  EXPECT_EQ(CopiedLogText(lines, {-1, 7}), "");
}

TEST_F(LogPageModel, ServerLogIsTheLiveLogPath) {
  SetSetting(kLogPath, std::string());
  EXPECT_FALSE(ServerLogToOpen().has_value());
  SetSetting(kLogPath, std::string("C:\\logs\\access.log"));
  EXPECT_EQ(ServerLogToOpen(), "C:\\logs\\access.log");
  DestroySettings();
}

}  // namespace
