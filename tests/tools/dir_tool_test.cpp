// orvihttp-dir run as a real program, the way scripts and users run it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "foundation/command_line.h"
#include "foundation/file_system.h"
#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "orvihttp/config/product_version.h"
#include "orvihttp/content/virtual_directory.h"
#include "tests/support/child_program.h"
#include "tests/support/test_support.h"

namespace {

std::string Bytes(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return "<missing>";
  std::string data;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) data.append(buffer, got);
  std::fclose(file);
  return data;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  std::string line;
  while (std::getline(stream, line)) lines.push_back(line);
  return lines;
}

class DirTool : public ::testing::Test {
 protected:
  // Runs the tool on this test's OrviHTTP.dir; output and errors together.
  std::string Tool(const std::vector<std::string>& arguments, int* code = nullptr) {
    std::string line = QuotedTestProgram("orvihttp-dir");
    for (const std::string& argument : arguments) line += " " + QuoteCommandLineArgument(argument);
    int exitCode = -1;
    std::string output = RunProgram(line, &exitCode, true);
    if (code) *code = exitCode;
    return output;
  }

  // Runs a command that must succeed and print nothing.
  void Edit(const std::vector<std::string>& arguments) {
    std::vector<std::string> all = {dir_};
    all.insert(all.end(), arguments.begin(), arguments.end());
    int code = -1;
    EXPECT_EQ(Tool(all, &code), "");
    EXPECT_EQ(code, 0);
  }

  std::string List() { return Tool({dir_, "list"}); }

  VirtualFolder Saved() {
    const std::string data = Bytes(dir_);
    std::optional<VirtualFolder> tree =
        ParseTree(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    EXPECT_TRUE(tree);
    return tree ? *tree : VirtualFolder{};
  }

  std::string RealFile(const std::string& name, const std::string& content = "x") {
    const std::string path = real_.File(name);
    EXPECT_TRUE(WriteFileText(path, content));
    return path;
  }

  TempFolder install_;
  TempFolder real_;
  const std::string dir_ = install_.File("OrviHTTP.dir");
};

}  // namespace

TEST_F(DirTool, BuildsATreeAndListsIt) {
  const std::string a = RealFile("a.txt");
  const std::string b = RealFile("b.txt");
  Edit({"add-folder", "/", "docs"});
  Edit({"add-folder", "/docs/", "img"});
  Edit({"add-file", "/docs", a});
  Edit({"add-file", "/", b, "my name.txt"});
  EXPECT_EQ(List(), "/\n/my name.txt\t" + b + "\n/docs/\n/docs/a.txt\t" + a + "\n/docs/img/\n");

  VirtualFolder expected;
  expected.AddFile("my name.txt", b);
  expected.AddFolder("docs");
  expected.FindFolder("docs")->AddFolder("img");
  expected.FindFolder("docs")->AddFile("a.txt", a);
  EXPECT_EQ(Saved(), expected);
  // Written beside and moved into place: nothing is left over.
  EXPECT_FALSE(IsFile(dir_ + ".new"));
}

TEST_F(DirTool, MissingFileIsAnEmptyTree) {
  EXPECT_EQ(List(), "/\n");
  EXPECT_FALSE(IsFile(dir_));
  Edit({"clear"});
  EXPECT_EQ(Bytes(dir_), std::string("\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00", 13));
}

TEST_F(DirTool, ClashesAreRefusedAndLeaveTheFileAlone) {
  const std::string a = RealFile("a.txt");
  Edit({"add-file", "/", a});
  Edit({"add-folder", "/", "docs"});
  const std::string before = Bytes(dir_);
  int code = 0;
  EXPECT_EQ(Tool({dir_, "add-file", "/", a}, &code), "orvihttp-dir: File already exists: a.txt\n");
  EXPECT_EQ(code, 1);
  EXPECT_EQ(Tool({dir_, "add-folder", "/", "docs"}, &code),
            "orvihttp-dir: Directory already exists: docs\n");
  EXPECT_EQ(code, 1);
  EXPECT_EQ(Tool({dir_, "add-file", "/nope", a}, &code), "orvihttp-dir: no such folder: /nope\n");
  EXPECT_EQ(code, 1);
  Tool({dir_, "add-file", "/", real_.File("missing.txt")}, &code);
  EXPECT_EQ(code, 1);
  Tool({dir_, "add-folder", "/", "a/b"}, &code);
  EXPECT_EQ(code, 1);
  Tool({dir_, "import", "/", real_.File("missing")}, &code);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(Bytes(dir_), before);
}

TEST_F(DirTool, WrongArgumentsShowTheUsage) {
  const std::vector<std::vector<std::string>> wrong = {
      {},
      {dir_},
      {dir_, "frobnicate"},
      {dir_, "list", "extra"},
      {dir_, "add-folder", "/"},
      {dir_, "add-file", "/", "a", "b", "c"},
      {dir_, "remove"},
      {"--bogus", dir_, "list"},
      {dir_, "add-folder", "docs", "x"},
  };
  for (const std::vector<std::string>& arguments : wrong) {
    int code = 0;
    const std::string output = Tool(arguments, &code);
    EXPECT_EQ(code, 2) << output;
    EXPECT_NE(output.find("usage: orvihttp-dir"), std::string::npos) << output;
  }
  EXPECT_FALSE(IsFile(dir_));
  int code = -1;
  EXPECT_NE(Tool({"--help"}, &code).find("usage: orvihttp-dir"), std::string::npos);
  EXPECT_EQ(code, 0);
  code = -1;
  EXPECT_EQ(Tool({"--version"}, &code), "orvihttp-dir (Orvi HTTP Server) " ORVI_VERSION_TEXT "\n");
  EXPECT_EQ(code, 0);
}

TEST_F(DirTool, DamagedFilesAreNeverReplaced) {
  const std::string a = RealFile("a.txt");
  const std::string damaged[] = {
      "junk", std::string("\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00", 13),
      std::string("\x00\x01\x00\x00\x00\x05\x00\x00\x00\x00\x00\x00\x00", 13)};
  for (const std::string& content : damaged) {
    std::FILE* file = std::fopen(dir_.c_str(), "wb");
    ASSERT_TRUE(file);
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
    for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
             {"list"}, {"clear"}, {"add-file", "/", a}, {"remove", "/x"}}) {
      std::vector<std::string> arguments = {dir_};
      arguments.insert(arguments.end(), command.begin(), command.end());
      int code = 0;
      EXPECT_NE(Tool(arguments, &code).find("not a valid virtual directory file"),
                std::string::npos);
      EXPECT_EQ(code, 1);
      EXPECT_EQ(Bytes(dir_), content);
    }
  }
}

TEST_F(DirTool, RemoveTakesTheFolderFirstThenTheFile) {
  const std::string x = RealFile("x");
  Edit({"add-folder", "/", "x"});
  Edit({"add-file", "/x", RealFile("inner.txt")});
  Edit({"add-file", "/", x});
  Edit({"remove", "/x"});
  EXPECT_EQ(List(), "/\n/x\t" + x + "\n");
  Edit({"remove", "/x"});
  EXPECT_EQ(List(), "/\n");
  int code = 0;
  EXPECT_EQ(Tool({dir_, "remove", "/x"}, &code), "orvihttp-dir: no such entry: /x\n");
  EXPECT_EQ(code, 1);
  EXPECT_EQ(Tool({dir_, "remove", "/"}, &code),
            "orvihttp-dir: the root cannot be removed (use clear)\n");
  EXPECT_EQ(code, 1);
}

TEST_F(DirTool, ImportAddsTheRealFolderByTheImportRules) {
  ASSERT_TRUE(CreateFolder(real_.File("sub")));
  const std::string a = RealFile("a.txt", "new");
  const std::string b = RealFile(JoinPath("sub", "b.txt"));
  TempFolder elsewhere;
  const std::string oldA = JoinPath(elsewhere.path(), "a.txt");
  ASSERT_TRUE(WriteFileText(oldA, "old"));
  Edit({"add-folder", "/", "site"});
  Edit({"add-file", "/site", oldA});
  Edit({"import", "/site", real_.path()});
  std::vector<std::string> lines = Lines(List());
  std::sort(lines.begin(), lines.end());
  // The existing a.txt keeps its real file; the real folder itself adds no level.
  EXPECT_EQ(lines, (std::vector<std::string>{"/", "/site/", "/site/a.txt\t" + oldA, "/site/sub/",
                                             "/site/sub/b.txt\t" + b}));
  // Importing again changes nothing.
  const std::string before = Bytes(dir_);
  Edit({"import", "/site/", real_.path()});
  EXPECT_EQ(Bytes(dir_), before);
  Edit({"clear"});
  EXPECT_EQ(List(), "/\n");
}

TEST_F(DirTool, Latin1NamesForUtf8FileSystems) {
  const std::string file = RealFile("plain.txt");
  Edit({"--latin1-names", "add-file", "/", file, "caf\xC3\xA9.txt"});
  Edit({"add-file", "/", file, "caf\xC3\xA9.txt"});
  Edit({"--latin1-names", "add-folder", "/", "\xE2\x82\xAC uro"});
  VirtualFolder saved = Saved();
  ASSERT_EQ(saved.files.size(), 2u);
  EXPECT_EQ(saved.files[0].name, "caf\xE9.txt");
  EXPECT_EQ(saved.files[1].name, "caf\xC3\xA9.txt");
  // Beyond U+00FF there is no Latin-1 form: the name stays as given.
  ASSERT_EQ(saved.subfolders.size(), 1u);
  EXPECT_EQ(saved.subfolders[0].name, "\xE2\x82\xAC uro");
}

TEST_F(DirTool, RightsAreSetShownAndInherited) {
  const std::string rights = install_.File("OrviHTTP.rights");
  Edit({"add-folder", "/", "docs"});
  Edit({"add-folder", "/docs", "inner"});
  EXPECT_EQ(Tool({dir_, "rights", "/docs/inner"}),
            "see: everyone (not set)\nupload: everyone (not set)\ndelete: no one (not set)\n");
  EXPECT_FALSE(IsFile(rights));

  Edit({"rights", "/docs/", "see", "alice,bob"});
  Edit({"rights", "/", "upload", "accounts"});
  Edit({"rights", "/docs/inner", "delete", ""});
  EXPECT_EQ(Tool({dir_, "rights", "/docs/inner"}),
            "see: alice,bob (inherited from /docs)\n"
            "upload: accounts (inherited from /)\n"
            "delete: no one (set here)\n");
  EXPECT_EQ(Bytes(rights),
            "# Orvi HTTP Server folder rights\n/\tupload=accounts\n/docs\tsee=alice,bob\n"
            "/docs/inner\tdelete=\n");
  EXPECT_FALSE(IsFile(rights + ".tmp"));

  Edit({"rights", "/docs/inner", "delete", "inherit"});
  Edit({"rights", "/docs", "see", "inherit"});
  Edit({"rights", "/", "upload", "inherit"});
  EXPECT_FALSE(IsFile(rights));  // no rules: no file

  int code = 0;
  EXPECT_EQ(Tool({dir_, "rights", "/nope"}, &code), "orvihttp-dir: no such folder: /nope\n");
  EXPECT_EQ(code, 1);
  Tool({dir_, "rights", "/docs", "see", "alice,alice"}, &code);
  EXPECT_EQ(code, 1);
  Tool({dir_, "rights", "/docs", "read", "alice"}, &code);
  EXPECT_EQ(code, 2);
  Tool({dir_, "rights", "/docs", "see"}, &code);
  EXPECT_EQ(code, 2);
  EXPECT_FALSE(IsFile(rights));
}

TEST_F(DirTool, RemovingAFolderDropsItsRights) {
  const std::string rights = install_.File("OrviHTTP.rights");
  Edit({"add-folder", "/", "keep"});
  Edit({"add-folder", "/", "gone"});
  Edit({"add-folder", "/gone", "sub"});
  Edit({"rights", "/", "delete", "alice"});
  Edit({"rights", "/keep", "see", "alice"});
  Edit({"rights", "/gone/sub", "see", "bob"});
  Edit({"remove", "/gone"});
  EXPECT_EQ(Bytes(rights), "# Orvi HTTP Server folder rights\n/\tdelete=alice\n/keep\tsee=alice\n");
  // Clearing empties the root but keeps the root's own rules.
  Edit({"clear"});
  EXPECT_EQ(Bytes(rights), "# Orvi HTTP Server folder rights\n/\tdelete=alice\n");
}

TEST_F(DirTool, ABrokenRightsFileIsShownClosedAndNeverRewritten) {
  const std::string rights = install_.File("OrviHTTP.rights");
  Edit({"add-folder", "/", "docs"});
  const std::string broken = "/docs\tsee=alice\tupload=bad name\n";
  ASSERT_TRUE(WriteFileText(rights, broken));
  int code = 0;
  const std::string shown = Tool({dir_, "rights", "/docs"}, &code);
  EXPECT_EQ(code, 0);
  EXPECT_NE(shown.find("line 1: "), std::string::npos) << shown;
  EXPECT_NE(shown.find("see: no one (set here)\nupload: no one (set here)\n"), std::string::npos)
      << shown;
  Tool({dir_, "rights", "/docs", "see", "everyone"}, &code);
  EXPECT_EQ(code, 1);
  Tool({dir_, "remove", "/docs"}, &code);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(Bytes(rights), broken);
  EXPECT_NE(List().find("/docs/"), std::string::npos);
}

TEST_F(DirTool, UploadToMarksAFolderAndNoneUnmarksIt) {
  const std::string rights = install_.File("OrviHTTP.rights");
  Edit({"add-folder", "/", "inbox"});
  Edit({"upload-to", "/inbox", real_.path()});
  const std::string real = RealPath(real_.path());
  EXPECT_EQ(Tool({dir_, "rights", "/inbox"}),
            "see: everyone (not set)\nupload: everyone (not set)\ndelete: no one (not set)\n"
            "uploads go to: " +
                real + "\n");
  EXPECT_NE(Bytes(rights).find("/inbox\tupload-to="), std::string::npos);

  int code = 0;
  EXPECT_EQ(Tool({dir_, "upload-to", "/nope", real_.path()}, &code),
            "orvihttp-dir: no such folder: /nope\n");
  EXPECT_EQ(code, 1);
  Tool({dir_, "upload-to", "/inbox", real_.File("missing")}, &code);
  EXPECT_EQ(code, 1);
  Tool({dir_, "upload-to", "/inbox"}, &code);
  EXPECT_EQ(code, 2);

  Edit({"upload-to", "/inbox", "none"});
  EXPECT_FALSE(IsFile(rights));  // nothing else was set
}
