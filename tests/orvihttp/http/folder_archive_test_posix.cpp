// The server's .zip archives as other programs read them: Python's zipfile
// and unzip test a nested tree, a sparse file past 4 GiB (64-bit sizes and
// offsets) and a folder of 70,000 entries (the 64-bit end records).
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "foundation/settings.h"
#include "tests/orvihttp/http/server_fixture.h"
#include "tests/orvihttp/http/zip_test_reader.h"
#include "tests/support/child_program.h"

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kUnderSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kUnderSanitizer = true;
#else
constexpr bool kUnderSanitizer = false;
#endif
#else
constexpr bool kUnderSanitizer = false;
#endif

constexpr char kChecker[] =
    "import sys, zipfile\n"
    "with zipfile.ZipFile(sys.argv[1]) as z:\n"
    "    bad = z.testzip()\n"
    "    if bad is not None:\n"
    "        print('bad entry', bad)\n"
    "        sys.exit(1)\n"
    "    infos = z.infolist()\n"
    "    print('entries', len(infos))\n"
    "    for info in infos[:20]:\n"
    "        print(info.filename, info.file_size)\n";

class FolderArchivesElsewhere : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    SetBool("FolderArchives", true, true);
    checker_ = files_.File("check_zip.py");
    std::ofstream(checker_) << kChecker;
  }

  // The archive of `folder` ("/a/") through curl into a file; its path.
  std::string Download(const std::string& folder) {
    const std::string archive = files_.File("download.zip");
    int code = -1;
    RunProgram("curl -sS -o \"" + archive + "\" \"http://127.0.0.1:" + std::to_string(port_) +
                   folder + "?zip\"",
               &code, true);
    EXPECT_EQ(code, 0);
    return archive;
  }

  // Python's report on the archive; fails the test when it finds a fault.
  std::string PythonSays(const std::string& archive) {
    int code = -1;
    const std::string said =
        RunProgram("python3 \"" + checker_ + "\" \"" + archive + "\"", &code, true);
    EXPECT_EQ(code, 0) << said;
    return said;
  }

  void UnzipFindsNoFault(const std::string& archive) {
    int code = -1;
    const std::string said = RunProgram("unzip -tq \"" + archive + "\"", &code, true);
    EXPECT_EQ(code, 0) << said;
    EXPECT_NE(said.find("No errors detected"), std::string::npos) << said;
  }

  std::string checker_;
};

// Reads the archive twice over one keep-alive connection with Python's
// http.client, and once as raw bytes with curl, whose chunk framing it
// checks line by line: hex length, that many bytes, a line end.
constexpr char kStrictReader[] =
    "import http.client, io, re, subprocess, sys, zipfile\n"
    "port, path = int(sys.argv[1]), sys.argv[2]\n"
    "c = http.client.HTTPConnection('127.0.0.1', port, timeout=60)\n"
    "for _ in range(2):\n"
    "    c.request('GET', path)\n"
    "    r = c.getresponse()\n"
    "    assert r.getheader('Transfer-Encoding') == 'chunked', r.getheaders()\n"
    "    parts = []\n"
    "    while piece := r.read(1 << 20):\n"
    "        parts.append(piece)\n"
    "    with zipfile.ZipFile(io.BytesIO(b''.join(parts))) as z:\n"
    "        assert z.testzip() is None\n"
    "        print('entries', len(z.infolist()))\n"
    "raw = subprocess.run(['curl', '-sS', '--raw', f'http://127.0.0.1:{port}{path}'],\n"
    "                     check=True, capture_output=True).stdout\n"
    "at, chunks = 0, 0\n"
    "while True:\n"
    "    line_end = raw.index(b'\\r\\n', at)\n"
    "    assert re.fullmatch(rb'[0-9A-F]+', raw[at:line_end]), raw[at:line_end + 2]\n"
    "    size = int(raw[at:line_end], 16)\n"
    "    at = line_end + 2\n"
    "    if size == 0:\n"
    "        assert raw[at:] == b'\\r\\n', raw[at:]\n"
    "        break\n"
    "    assert raw[at + size:at + size + 2] == b'\\r\\n'\n"
    "    at, chunks = at + size + 2, chunks + 1\n"
    "print('chunks', chunks, 'framed well')\n";

}  // namespace

TEST_F(FolderArchivesElsewhere, ANestedTreeReadsBackInPythonAndUnzip) {
  Publish("/tree/a.txt", "alpha");
  Publish("/tree/sub dir/b & c.txt", "bravo");
  Publish("/tree/sub dir/deeper/#1.txt", "charlie");
  Publish("/tree/caf\xE9.txt", "coffee");
  server().directory().AddFolder("/tree", "empty");
  StartServer();
  const std::string archive = Download("/tree/");
  const std::string said = PythonSays(archive);
  EXPECT_NE(said.find("entries 7\n"), std::string::npos) << said;
  EXPECT_NE(said.find("sub dir/deeper/#1.txt 7\n"), std::string::npos) << said;
  EXPECT_NE(said.find("caf\xC3\xA9.txt 6\n"), std::string::npos) << said;
  EXPECT_NE(said.find("empty/ 0\n"), std::string::npos) << said;
  UnzipFindsNoFault(archive);
}

TEST_F(FolderArchivesElsewhere, AFolderOfSeventyThousandEntriesGetsThe64BitEnd) {
  const std::string real = Publish("/many/first.txt", "one");
  server().directory().EditTree([&](VirtualFolder& root) {
    VirtualFolder* many = root.ResolveFolder("/many");
    for (int i = 0; i < 70000; ++i) many->files.push_back({"f" + std::to_string(i), real, 0});
  });
  StartServer();
  const std::string archive = Download("/many/");
  const std::string said = PythonSays(archive);
  EXPECT_NE(said.find("entries 70001\n"), std::string::npos) << said.substr(0, 300);
  UnzipFindsNoFault(archive);
  std::ifstream in(archive, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const ZipTestArchive read = ReadZipForTest(bytes);
  EXPECT_EQ(read.error, "");
  EXPECT_TRUE(read.zip64End);
  EXPECT_EQ(read.entries.size(), 70001u);
}

// Streams over 4 GiB through loopback and reads it back twice: some seconds,
// and many more under a sanitizer, where it is left out.
TEST_F(FolderArchivesElsewhere, AFileOverFourGigabytesGets64BitSizesAndOffsets) {
  if (kUnderSanitizer) GTEST_SKIP() << "too slow under a sanitizer";
  const std::string huge = Publish("/large/huge.bin", "");
  Publish("/large/after.txt", "after the large one");
  const uint64_t size = 4ull * 1024 * 1024 * 1024 + 4096;
  std::error_code error;
  std::filesystem::resize_file(huge, size, error);
  if (error) GTEST_SKIP() << "no room for a sparse file over 4 GiB: " << error.message();
  StartServer();
  const std::string archive = Download("/large/");
  EXPECT_GT(std::filesystem::file_size(archive), size);
  const std::string said = PythonSays(archive);
  EXPECT_NE(said.find("huge.bin " + std::to_string(size) + "\n"), std::string::npos) << said;
  EXPECT_NE(said.find("after.txt 19\n"), std::string::npos) << said;
  UnzipFindsNoFault(archive);
  std::filesystem::remove(archive);
}

// Large pieces of a file are checked on a second thread while they are sent:
// pieces of random bytes must still carry the right CRC-32, in chunks a
// strict reader takes.
TEST_F(FolderArchivesElsewhere, StrictHttpClientsReadTheChunksOfALargeArchive) {
  std::mt19937 random(24);
  std::string noise(3 * 1024 * 1024 + 12345, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  Publish("/big/noise.bin", noise);
  Publish("/big/small.txt", "small");
  StartServer();
  const std::string reader = files_.File("strict_reader.py");
  std::ofstream(reader) << kStrictReader;
  int code = -1;
  const std::string said =
      RunProgram("python3 \"" + reader + "\" " + std::to_string(port_) + " /big/?zip", &code, true);
  EXPECT_EQ(code, 0) << said;
  EXPECT_NE(said.find("entries 2\nentries 2\n"), std::string::npos) << said;
  EXPECT_NE(said.find("framed well"), std::string::npos) << said;
}
