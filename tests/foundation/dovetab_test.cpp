#include "foundation/dovetab.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

namespace {

const std::string kHead = "# Dovetab v2\r\n\r\n";

std::vector<Setting> ParseAll(const std::string& text) {
  std::vector<Setting> entries;
  dovetab::Parse(text, [&entries](const Setting& entry) { entries.push_back(entry); });
  return entries;
}

// The single entry of a text made of the header and one line.
Setting ParseOne(const std::string& line) {
  std::vector<Setting> entries = ParseAll(kHead + line + "\r\n");
  EXPECT_EQ(entries.size(), 1u) << "line: " << line;
  return entries.empty() ? Setting() : entries.front();
}

Setting Int(const std::string& name, int32_t value) {
  Setting entry;
  entry.name = name;
  entry.type = Setting::Type::Int;
  entry.intValue = value;
  return entry;
}

Setting Bool(const std::string& name, bool value) {
  Setting entry;
  entry.name = name;
  entry.type = Setting::Type::Bool;
  entry.boolValue = value;
  return entry;
}

Setting String(const std::string& name, const std::string& value) {
  Setting entry;
  entry.name = name;
  entry.type = Setting::Type::String;
  entry.stringValue = value;
  return entry;
}

TEST(DovetabParse, HeaderMustMatchOverItsFullLength) {
  EXPECT_TRUE(ParseAll("").empty());
  EXPECT_TRUE(ParseAll(kHead).empty());
  EXPECT_TRUE(ParseAll("# Dovetab v2\r\nPort = 1\r\n").empty());
  EXPECT_TRUE(ParseAll("# Dovetab v2\r\n\r").empty());
  EXPECT_TRUE(ParseAll("# Dovetab v2\n\nPort = 1\n").empty());
  EXPECT_TRUE(ParseAll("# Dovetab v1\r\n\r\nPort = 1\r\n").empty());
  EXPECT_TRUE(ParseAll("\r\n# Dovetab v2\r\n\r\nPort = 1\r\n").empty());
  EXPECT_EQ(ParseAll(kHead + "Port = 1\r\n").size(), 1u);
}

TEST(DovetabParse, LinesNeedTheirCrLf) {
  std::vector<Setting> entries = ParseAll(kHead + "A = 1\r\nB = 2\r\nC = 3");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "A");
  EXPECT_EQ(entries[1].name, "B");

  // A lone "\n" or "\r" is content: here it ends the number, and the rest of
  // the line is not another entry.
  entries = ParseAll(kHead + "A = 1\nB = 2\r\nC = \"x\ry\nz\"\r\n");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "A");
  EXPECT_EQ(entries[0].intValue, 1);
  EXPECT_EQ(entries[1].stringValue, "x\ry\nz");
}

TEST(DovetabParse, ValuesTakeTheirType) {
  Setting yes = ParseOne("FirstTime = Yes");
  EXPECT_EQ(yes.name, "FirstTime");
  EXPECT_EQ(yes.type, Setting::Type::Bool);
  EXPECT_TRUE(yes.boolValue);
  EXPECT_TRUE(yes.persistent);

  Setting no = ParseOne("Active = No");
  EXPECT_EQ(no.type, Setting::Type::Bool);
  EXPECT_FALSE(no.boolValue);

  Setting port = ParseOne("Port = 8080");
  EXPECT_EQ(port.type, Setting::Type::Int);
  EXPECT_EQ(port.intValue, 8080);

  Setting path = ParseOne("LogPath = \"C:\\Orvi\\OrviHTTP.log\"");
  EXPECT_EQ(path.type, Setting::Type::String);
  EXPECT_EQ(path.stringValue, "C:\\Orvi\\OrviHTTP.log");
}

TEST(DovetabParse, BoolWordsAreExactAndCoverTheWholeRest) {
  for (const char* line :
       {"Name = yes", "Name = YES", "Name = Yes ", "Name = No\t", "Name = Yess"}) {
    Setting entry = ParseOne(line);
    EXPECT_EQ(entry.type, Setting::Type::Int) << line;
    EXPECT_EQ(entry.intValue, 0) << line;
  }
  Setting tight = ParseOne("Name =Yes");
  EXPECT_EQ(tight.type, Setting::Type::Bool);
  Setting tabs = ParseOne("Name\t=\t\tNo");
  EXPECT_EQ(tabs.type, Setting::Type::Bool);
  EXPECT_FALSE(tabs.boolValue);
}

TEST(DovetabParse, IntegersReadLikeAtoi) {
  EXPECT_EQ(ParseOne("Name = -12abc").intValue, -12);
  EXPECT_EQ(ParseOne("Name =").intValue, 0);
  EXPECT_EQ(ParseOne("Name = ").intValue, 0);
  EXPECT_EQ(ParseOne("Name = abc").intValue, 0);
  EXPECT_EQ(ParseOne("Name = +42").intValue, 42);
  EXPECT_EQ(ParseOne("Name = 007").intValue, 7);
  EXPECT_EQ(ParseOne("Name = \v\f 5").intValue, 5);
  EXPECT_EQ(ParseOne("Name = - 5").intValue, 0);
  EXPECT_EQ(ParseOne("Name = 12 34").intValue, 12);
  EXPECT_EQ(ParseOne("Name = 2147483647").intValue, INT32_MAX);
  EXPECT_EQ(ParseOne("Name = -2147483648").intValue, INT32_MIN);
}

TEST(DovetabParse, OutOfRangeIntegersClamp) {
  EXPECT_EQ(ParseOne("Name = 2147483648").intValue, INT32_MAX);
  EXPECT_EQ(ParseOne("Name = -2147483649").intValue, INT32_MIN);
  EXPECT_EQ(ParseOne("Name = 99999999999999999999999999999999").intValue, INT32_MAX);
  EXPECT_EQ(ParseOne("Name = -99999999999999999999999999999999").intValue, INT32_MIN);
}

TEST(DovetabParse, QuotedStringEscapes) {
  // "a\"b" is the three characters a, quote, b.
  EXPECT_EQ(ParseOne("Name = \"a\\\"b\"").stringValue, "a\"b");
  EXPECT_EQ(ParseOne("Name = \"one\\r\\ntwo\"").stringValue, "one\r\ntwo");
  // A backslash before anything else is itself, and what follows is read
  // normally, even another backslash that starts an escape.
  EXPECT_EQ(ParseOne("Name = \"C:\\Web\\x\"").stringValue, "C:\\Web\\x");
  // In front of r or n backslashes pair up: a pair is one backslash, a
  // single one left over makes the escape.
  EXPECT_EQ(ParseOne("Name = \"a\\\\r\"").stringValue, "a\\r");
  EXPECT_EQ(ParseOne("Name = \"a\\\\\\r\"").stringValue, "a\\\r");
  EXPECT_EQ(ParseOne("Name = \"\\\\nas\\share\"").stringValue, "\\nas\\share");
  // Elsewhere backslash pairs do not collapse.
  EXPECT_EQ(ParseOne("Name = \"a\\\\\\\"\"").stringValue, "a\\\\\"");
  EXPECT_EQ(ParseOne("Name = \"\\\\server\\share\"").stringValue, "\\\\server\\share");
  // A single backslash before n is still a line feed.
  EXPECT_EQ(ParseOne("Name = \"C:\\new\"").stringValue, "C:\new");
  EXPECT_EQ(ParseOne("Name = \"\"").stringValue, "");
  // The string ends at the first unescaped quote; the rest is ignored.
  EXPECT_EQ(ParseOne("Name = \"first\" \"second\" junk").stringValue, "first");
}

TEST(DovetabParse, UnterminatedQuoteDropsOnlyItsLine) {
  std::vector<Setting> entries = ParseAll(kHead +
                                          "A = \"open\r\n"
                                          "B = \"escaped quote\\\" then more\r\n"
                                          "C = \"ok\"\r\n");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "C");
  EXPECT_EQ(entries[0].stringValue, "ok");
}

TEST(DovetabParse, OpenStringEndingInEscapedQuoteIsAFolderWithTrailingBackslash) {
  // What earlier versions wrote for "C:\Logs\" (and "a\"b\\").
  EXPECT_EQ(ParseOne("LogPath = \"C:\\Logs\\\"").stringValue, "C:\\Logs\\");
  EXPECT_EQ(ParseOne("Name = \"a\\\"b\\\\\"").stringValue, "a\"b\\\\");
}

TEST(DovetabParse, MalformedLinesAreSkipped) {
  std::vector<Setting> entries = ParseAll(kHead +
                                          "\r\n"            // empty line
                                          " Lead = 1\r\n"   // empty name
                                          "\tLead = 1\r\n"  // empty name
                                          "Port=80\r\n"     // no blank before "="
                                          "Port =80\r\n"    // fine
                                          "Port 80\r\n"     // no "="
                                          "Port  \r\n"      // nothing after blanks
                                          "Port : 80\r\n"   // wrong sign
                                          "#Note = 3\r\n"   // not a comment
                                          "a=b = 4\r\n");   // "=" inside the name
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "Port");
  EXPECT_EQ(entries[0].intValue, 80);
  EXPECT_EQ(entries[1].name, "#Note");
  EXPECT_EQ(entries[1].intValue, 3);
  EXPECT_EQ(entries[2].name, "a=b");
  EXPECT_EQ(entries[2].intValue, 4);
}

TEST(DovetabParse, RepeatedNamesAreReportedInFileOrder) {
  std::vector<Setting> entries = ParseAll(kHead + "Key = 1\r\nKey = Yes\r\nKey = \"s\"\r\n");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].type, Setting::Type::Int);
  EXPECT_EQ(entries[1].type, Setting::Type::Bool);
  EXPECT_EQ(entries[2].type, Setting::Type::String);
}

TEST(DovetabWrite, FormatsEachType) {
  EXPECT_EQ(dovetab::FormatValue(Int("x", 0)), "0");
  EXPECT_EQ(dovetab::FormatValue(Int("x", -15)), "-15");
  EXPECT_EQ(dovetab::FormatValue(Int("x", INT32_MIN)), "-2147483648");
  EXPECT_EQ(dovetab::FormatValue(Bool("x", true)), "Yes");
  EXPECT_EQ(dovetab::FormatValue(Bool("x", false)), "No");
  EXPECT_EQ(dovetab::FormatValue(String("x", "")), "\"\"");
  EXPECT_EQ(dovetab::FormatValue(String("x", "say \"hi\"\r\nC:\\dir\t")),
            "\"say \\\"hi\\\"\\r\\nC:\\dir\t\"");
}

TEST(DovetabWrite, WritesHeaderAndLines) {
  EXPECT_EQ(dovetab::Write({}), kHead);
  std::string text = dovetab::Write(
      {Bool("FirstTime", false), Int("Port", 8080), String("LogPath", "C:\\Logs\\OrviHTTP.log")});
  EXPECT_EQ(text, kHead +
                      "FirstTime = No\r\n"
                      "Port = 8080\r\n"
                      "LogPath = \"C:\\Logs\\OrviHTTP.log\"\r\n");
}

TEST(DovetabWrite, BackslashBeforeEscapeLetterIsDoubled) {
  std::string text = dovetab::Write({String("Root", "C:\\new\\rates\\\"q\"")});
  EXPECT_EQ(text, kHead + "Root = \"C:\\\\new\\\\rates\\\\\"q\\\"\"\r\n");
  std::vector<Setting> back = ParseAll(text);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].stringValue, "C:\\new\\rates\\\"q\"");
}

TEST(DovetabWrite, ParsedEntriesWriteBackUnchanged) {
  std::vector<Setting> entries = {Int("A", -7), Bool("B", true),
                                  String("C", "line1\r\nline2 \"quoted\" tab\t"),
                                  String("D", "a\\b\\\rc"), Int("E", INT32_MAX)};
  std::string text = dovetab::Write(entries);
  std::vector<Setting> back = ParseAll(text);
  ASSERT_EQ(back.size(), entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(back[i].name, entries[i].name);
    EXPECT_EQ(back[i].type, entries[i].type);
    EXPECT_EQ(back[i].intValue, entries[i].intValue);
    EXPECT_EQ(back[i].boolValue, entries[i].boolValue);
    EXPECT_EQ(back[i].stringValue, entries[i].stringValue);
  }
  EXPECT_EQ(dovetab::Write(back), text);
}

// The string value as earlier versions wrote it: only quotes, carriage returns
// and line feeds escaped, every backslash as is.
std::string FormerlyWritten(const std::string& value) {
  std::string out = "\"";
  for (char c : value) {
    out += c == '"' ? "\\\"" : c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
  }
  return out + "\"";
}

bool BackslashBeforeEscapeLetter(const std::string& value) {
  for (size_t at = 0; at + 1 < value.size(); ++at) {
    char next = value[at + 1];
    if (value[at] == '\\' && (next == 'r' || next == 'n' || next == '\r' || next == '\n')) {
      return true;
    }
  }
  return false;
}

// Every string reads back as written; and a string that earlier versions
// already wrote and read correctly is written byte for byte as before, so
// their files read the same.
void CheckRoundTrip(const std::string& value) {
  std::string text = dovetab::Write({String("Key", value)});
  std::vector<Setting> back = ParseAll(text);
  ASSERT_EQ(back.size(), 1u) << testing::PrintToString(value);
  ASSERT_EQ(back[0].stringValue, value) << "written as " << testing::PrintToString(text);
  std::string written = text.substr(kHead.size() + 6, text.size() - kHead.size() - 8);
  if (!BackslashBeforeEscapeLetter(value)) {
    ASSERT_EQ(written, FormerlyWritten(value)) << testing::PrintToString(value);
  } else {
    ASSERT_NE(written, FormerlyWritten(value)) << testing::PrintToString(value);
  }
}

TEST(DovetabRoundTrip, EveryShortStringOfTheTrickyCharacters) {
  const std::string alphabet = "\\rn\"\r\nx";
  std::vector<std::string> level = {""};
  for (int length = 0; length <= 6; ++length) {
    std::vector<std::string> longer;
    for (const std::string& value : level) {
      CheckRoundTrip(value);
      if (HasFatalFailure()) return;
      if (length == 6) continue;
      for (char c : alphabet) longer.push_back(value + c);
    }
    level = std::move(longer);
  }
}

TEST(DovetabRoundTrip, RandomStringsOfAnyByteAndPaths) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> length(0, 40);
  for (int i = 0; i < 3000; ++i) {
    std::string value;
    for (int n = length(random); n > 0; --n) value += static_cast<char>(byte(random));
    CheckRoundTrip(value);
    if (HasFatalFailure()) return;
  }
  for (const char* path : {"C:\\Users\\nick\\AppData\\Local\\Programs\\Orvi HTTP Server",
                           "C:\\Users\\rob\\", "\\\\nas\\share\\", "D:\\web\\"}) {
    CheckRoundTrip(path);
  }
}

}  // namespace
