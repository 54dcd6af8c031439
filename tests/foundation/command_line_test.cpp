#include "foundation/command_line.h"

#include <gtest/gtest.h>

using Arguments = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheCRuntimeRules) {
  // Rows of the C runtime's documented examples, after a program name.
  EXPECT_EQ(SplitCommandLine(R"(p "abc" d e)"), (Arguments{"p", "abc", "d", "e"}));
  EXPECT_EQ(SplitCommandLine(R"(p a\\\b d"e f"g h)"), (Arguments{"p", R"(a\\\b)", "de fg", "h"}));
  EXPECT_EQ(SplitCommandLine(R"(p a\\\"b c d)"), (Arguments{"p", R"(a\"b)", "c", "d"}));
  EXPECT_EQ(SplitCommandLine(R"(p a\\\\"b c" d e)"), (Arguments{"p", R"(a\\b c)", "d", "e"}));
  // Two quotes inside a quoted part give one quote and the part goes on.
  EXPECT_EQ(SplitCommandLine(R"(p a"b"" c d)"), (Arguments{"p", R"(ab" c d)"}));
}

TEST(SplitCommandLine, BlanksEmptyArgumentsAndUnclosedQuotes) {
  EXPECT_EQ(SplitCommandLine("p  \t a\tb   "), (Arguments{"p", "a", "b"}));
  EXPECT_EQ(SplitCommandLine(R"(p "" x)"), (Arguments{"p", "", "x"}));
  EXPECT_EQ(SplitCommandLine(R"(p "a b)"), (Arguments{"p", "a b"}));
  EXPECT_EQ(SplitCommandLine(R"(p a\)"), (Arguments{"p", R"(a\)"}));
  EXPECT_EQ(SplitCommandLine(""), (Arguments{""}));
  EXPECT_EQ(SplitCommandLine("p"), (Arguments{"p"}));
}

TEST(SplitCommandLine, ProgramNameKnowsOnlyQuotes) {
  EXPECT_EQ(SplitCommandLine(R"("C:\Program Files\php\php-cgi.exe" -f)"),
            (Arguments{R"(C:\Program Files\php\php-cgi.exe)", "-f"}));
  // Backslashes before a quote do not escape it in the program name.
  EXPECT_EQ(SplitCommandLine(R"(C:\dir\"a b"\x.exe y)"), (Arguments{R"(C:\dir\a b\x.exe)", "y"}));
  EXPECT_EQ(SplitCommandLine(R"(C:\Program Files\x.exe)"),
            (Arguments{R"(C:\Program)", R"(Files\x.exe)"}));
}

TEST(QuoteCommandLineArgument, PlainTextIsOnlyPutInQuotes) {
  EXPECT_EQ(QuoteCommandLineArgument(R"(C:\web\a b.php)"), R"("C:\web\a b.php")");
  EXPECT_EQ(QuoteCommandLineArgument(""), R"("")");
}

TEST(QuoteCommandLineArgument, EveryTextComesBackAsOneArgument) {
  const std::string samples[] = {
      "",          "plain",  "two words", R"(C:\dir\)", R"(a"b)",
      R"(a\"b)",   R"(a\\)", "\"",        "\\",         R"(\\server\share\x y\)",
      "tab\there", R"(""")", "end\\\\\"", "- -- x"};
  for (const std::string& sample : samples) {
    Arguments split = SplitCommandLine("prog " + QuoteCommandLineArgument(sample) + " next");
    EXPECT_EQ(split, (Arguments{"prog", sample, "next"})) << sample;
  }
}
