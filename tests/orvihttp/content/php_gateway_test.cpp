#include "orvihttp/content/php_gateway.h"

#include <gtest/gtest.h>

#include "foundation/child_process.h"
#include "foundation/file_system.h"
#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "tests/support/child_program.h"
#include "tests/support/test_support.h"

TEST(PhpCommandLine, QueryGoesAfterTwoDashes) {
  EXPECT_EQ(BuildPhpCommandLine("C:\\php\\php-cgi.exe", "C:\\web\\a.php", "x=1"),
            "C:\\php\\php-cgi.exe -f \"C:\\web\\a.php\" -- x=1");
  EXPECT_EQ(BuildPhpCommandLine("/usr/bin/php-cgi", "/srv/a.php", ""),
            "/usr/bin/php-cgi -f \"/srv/a.php\"");
  // A POST body replaces the query upstream; it is passed verbatim.
  EXPECT_EQ(BuildPhpCommandLine("php-cgi", "/srv/a.php", "a=1&b=2"),
            "php-cgi -f \"/srv/a.php\" -- a=1&b=2");
  EXPECT_EQ(BuildPhpCommandLine("php-cgi", "/srv/a.php", "q=a%20b"),
            "php-cgi -f \"/srv/a.php\" -- q=a%20b");
}

TEST(PhpCommandLine, ProgramPathWithBlanksStaysOneWord) {
  EXPECT_EQ(BuildPhpCommandLine("C:\\Program Files\\PHP\\php-cgi.exe", "C:\\w\\a.php", ""),
            "\"C:\\Program Files\\PHP\\php-cgi.exe\" -f \"C:\\w\\a.php\"");
}

TEST(PhpCommandLine, RequestCannotReachTheWordsBeforeTheQuery) {
  // Quotes and backslashes in the query only shape the script's own arguments.
  std::optional<std::string> line =
      BuildPhpCommandLine("php-cgi", "/srv/a.php", "\" -d auto_prepend_file=x \\\"");
  ASSERT_TRUE(line);
  EXPECT_EQ(line->rfind("php-cgi -f \"/srv/a.php\" -- ", 0), 0u);
  // Bytes the ANSI code page could turn into something else are refused.
  EXPECT_FALSE(BuildPhpCommandLine("php-cgi", "/srv/a.php", "x=\xE9"));
  EXPECT_FALSE(BuildPhpCommandLine("php-cgi", "/srv/a.php", "x=\x80"));
  EXPECT_FALSE(BuildPhpCommandLine("php-cgi", "/srv/a.php", std::string("a\0b", 3)));
}

TEST(PhpCommandLine, TooLongForThePlatformIsRefused) {
  const std::string start = "php-cgi -f \"/srv/a.php\" -- ";
  const std::string fits(kMaxCommandLineLength - start.size(), 'x');
  EXPECT_EQ(BuildPhpCommandLine("php-cgi", "/srv/a.php", fits), start + fits);
  EXPECT_FALSE(BuildPhpCommandLine("php-cgi", "/srv/a.php", fits + "x"));
}

namespace {

// The output of the command line the gateway builds, run for real.
std::string RunScript(const std::string& program, const std::string& script,
                      const std::string& query) {
  std::optional<std::string> line = BuildPhpCommandLine(program, script, query);
  EXPECT_TRUE(line);
  return line ? RunProgram(*line) : std::string();
}

}  // namespace

TEST(PhpCommandLine, ChildSeesScriptAndQueryWords) {
  TempFolder folder;
  const std::string script = folder.File("a b.php");
  ASSERT_TRUE(WriteFileText(script, "<?php body ?>"));
  const std::string fake = TestProgramPath("fixture_fake_cgi");
  EXPECT_EQ(RunScript(fake, script, "x=1"),
            "argc=5\n[-f]\n[" + script + "]\n[--]\n[x=1]\n<?php body ?>");
  EXPECT_EQ(RunScript(fake, script, ""), "argc=3\n[-f]\n[" + script + "]\n<?php body ?>");
  EXPECT_EQ(RunScript(fake, script, "a=1 b=\"2 3\""),
            "argc=6\n[-f]\n[" + script + "]\n[--]\n[a=1]\n[b=2 3]\n<?php body ?>");
}

TEST(PhpCommandLine, DebiansPhpCgiRunsTheScript) {
  const std::string php = "/usr/bin/php-cgi";
  if (kPathSeparator != '/' || !IsFile(php)) GTEST_SKIP() << "no " << php;
  TempFolder folder;
  const std::string script = folder.File("q.php");
  ASSERT_TRUE(WriteFileText(
      script,
      "<?php echo 'x=', $_GET['x'] ?? '-', ' q=', $_GET['q'] ?? '-', \"\\r\\n\", chr(26);"));
  EXPECT_EQ(RunScript(php, script, "x=1&q=a%20b"), "x=1 q=a b\r\n\x1a");
  EXPECT_EQ(RunScript(php, script, ""), "x=- q=-\r\n\x1a");
}
