#include "tests/orvihttp/http/server_fixture.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "foundation/paths.h"
#include "foundation/settings.h"
#include "foundation/winsock_startup.h"
#include "orvihttp/logging/binary_log_reader.h"
#include "tests/orvihttp/http/http_test_client.h"

namespace {
// The test program's own socket layer start (Winsock 2.2 on Windows).
WinsockStartup winsock;
}  // namespace

void ServerTest::SetUp() {
  port_ = FindFreePort();
  ASSERT_NE(port_, 0);
  SetInt("Port", port_, true);
  SetBool("AutoLoadIndex", true, true);
  SetBool("DirView", true, true);
  SetBool("PHPEnable", false, true);
  SetInt("MaxUsers", 0, true);
  SetInt("MaxDown", 0, true);
  SetBool("Log", false, true);
  SetString("BinLogPath", "", false);
  server_ = std::make_unique<Server>(CurrentServerSettings, SettingsGeneration);
}

void ServerTest::TearDown() {
  server_.reset();
  DestroySettings();
}

void ServerTest::StopEngine() {
  server_->StopServing();
}

std::string ServerTest::Publish(const std::string& urlPath, const std::string& content) {
  std::string realPath = files_.File("file" + std::to_string(fileCount_++));
  std::FILE* file = std::fopen(realPath.c_str(), "wb");
  EXPECT_NE(file, nullptr);
  if (!file) return realPath;
  std::fwrite(content.data(), 1, content.size(), file);
  std::fclose(file);
  using namespace std::chrono;
  std::filesystem::last_write_time(realPath, file_clock::from_sys(sys_seconds{seconds{kFileTime}}));

  std::string folder = "/";
  std::size_t start = 1;
  std::size_t slash;
  while ((slash = urlPath.find('/', start)) != std::string::npos) {
    std::string name = urlPath.substr(start, slash - start);
    server_->directory().AddFolder(folder, name);
    folder += (folder == "/" ? "" : "/") + name;
    start = slash + 1;
  }
  EXPECT_TRUE(server_->directory().AddFile(folder, urlPath.substr(start), realPath)) << urlPath;
  return realPath;
}

std::string ServerTest::LogPageLineWith(const std::string& part) {
  for (const DisplayLine& line : server_->logs().display.AllLines()) {
    if (line.text.find(part) != std::string::npos) return line.text;
  }
  return std::string();
}

std::string LetterPattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i * 7 % 26);
  return bytes;
}

void ServerTest::StartServer() {
  server_->listener().Start();
  ASSERT_TRUE(server_->listener().IsListening());
}

std::vector<BinLogRecord> BinLogRecordsOnceThere(
    const std::string& path, std::size_t count,
    const std::function<bool(const BinLogRecord&)>& counted) {
  std::vector<BinLogRecord> records;
  WaitFor(
      [&] {
        records.clear();
        std::size_t found = 0;
        ReadBinLogFile(path, [&](const BinLogRecord& record) {
          records.push_back(record);
          if (!counted || counted(record)) ++found;
        });
        return found >= count;
      },
      5000);
  return records;
}
