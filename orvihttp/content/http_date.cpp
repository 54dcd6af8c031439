#include "orvihttp/content/http_date.h"

#include <chrono>
#include <cstdio>
#include <vector>

#include "foundation/second_text.h"

namespace {

std::string FormatHttpDateNow(int64_t secondsSince1970) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  using namespace std::chrono;
  const sys_seconds moment{seconds{secondsSince1970}};
  const sys_days day = floor<days>(moment);
  const year_month_day date{day};
  const hh_mm_ss<seconds> time{moment - day};
  const weekday dayOfWeek{day};
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02u %s %04d %02d:%02d:%02d GMT",
                kDays[dayOfWeek.c_encoding()], static_cast<unsigned>(date.day()),
                kMonths[static_cast<unsigned>(date.month()) - 1], static_cast<int>(date.year()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return text;
}

}  // namespace

std::string FormatHttpDate(int64_t secondsSince1970) {
  // Each answer names the time twice (its date and its file's), mostly the
  // same seconds as the answer before on the same thread.
  thread_local SecondText formatted;
  return formatted.For(secondsSince1970, [&] { return FormatHttpDateNow(secondsSince1970); });
}

std::string CurrentHttpDate() {
  return std::string(CurrentHttpDateView());
}

std::string_view CurrentHttpDateView() {
  using namespace std::chrono;
  thread_local SecondText formatted;
  const int64_t now = duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
  return formatted.View(now, [&] { return FormatHttpDateNow(now); });
}

namespace {

constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

// All of `text` as a number of 1 to `maxDigits` digits.
std::optional<int> Number(const std::string& text, std::size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::optional<unsigned> Month(const std::string& name) {
  for (unsigned i = 0; i < 12; ++i) {
    if (name == kMonthNames[i]) return i + 1;
  }
  return std::nullopt;
}

// "08:49:37" as seconds into the day.
std::optional<int> TimeOfDay(const std::string& text) {
  if (text.size() != 8 || text[2] != ':' || text[5] != ':') return std::nullopt;
  std::optional<int> h = Number(text.substr(0, 2), 2);
  std::optional<int> m = Number(text.substr(3, 2), 2);
  std::optional<int> s = Number(text.substr(6, 2), 2);
  // 60 is a leap second.
  if (!h || !m || !s || *h > 23 || *m > 59 || *s > 60) return std::nullopt;
  return *h * 3600 + *m * 60 + *s;
}

std::optional<int64_t> Moment(int year, std::optional<unsigned> month, std::optional<int> day,
                              std::optional<int> seconds) {
  using namespace std::chrono;
  if (!month || !day || !seconds) return std::nullopt;
  const year_month_day date{std::chrono::year{year}, std::chrono::month{*month},
                            std::chrono::day{static_cast<unsigned>(*day)}};
  if (!date.ok()) return std::nullopt;
  return sys_days{date}.time_since_epoch().count() * int64_t{86400} + *seconds;
}

}  // namespace

std::optional<int64_t> ParseHttpDate(const std::string& value) {
  const std::vector<std::string> words = Words(value.substr(0, value.find(';')));
  if (words.size() == 6 && words[0].size() == 4 && words[0][3] == ',' && words[5] == "GMT") {
    // Sun, 06 Nov 1994 08:49:37 GMT
    std::optional<int> year = Number(words[3], 4);
    if (!year || words[3].size() != 4 || words[1].size() != 2) return std::nullopt;
    return Moment(*year, Month(words[2]), Number(words[1], 2), TimeOfDay(words[4]));
  }
  if (words.size() == 4 && words[0].size() > 4 && words[0].back() == ',' && words[3] == "GMT") {
    // Sunday, 06-Nov-94 08:49:37 GMT: a two-digit year from 70 on is of the
    // last century.
    const std::string& date = words[1];
    if (date.size() != 9 || date[2] != '-' || date[6] != '-') return std::nullopt;
    std::optional<int> year = Number(date.substr(7, 2), 2);
    if (!year) return std::nullopt;
    return Moment(*year + (*year < 70 ? 2000 : 1900), Month(date.substr(3, 3)),
                  Number(date.substr(0, 2), 2), TimeOfDay(words[2]));
  }
  if (words.size() == 5 && words[0].size() == 3) {
    // Sun Nov  6 08:49:37 1994
    std::optional<int> year = Number(words[4], 4);
    if (!year || words[4].size() != 4) return std::nullopt;
    return Moment(*year, Month(words[1]), Number(words[2], 2), TimeOfDay(words[3]));
  }
  return std::nullopt;
}
