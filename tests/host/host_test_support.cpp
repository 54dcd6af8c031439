#include "tests/host/host_test_support.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "foundation/dovetab.h"
#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "tests/support/test_support.h"

std::vector<std::string> ReadLines(const std::string& path) {
  std::string text = ReadFileText(path, 0);
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  while (start < text.size()) {
    std::string::size_type end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string FixturePath(const std::string& base) {
  return JoinPath(TestBinaryDir(), LibraryFileName(base));
}

std::string ForwardSlashes(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

void UseRecordingSettings(const std::string& iniPath, const std::string& recordFile,
                          const std::string& extra) {
  WriteFileText(iniPath, std::string(dovetab::kHeader) + "RecordFile = \"" +
                             ForwardSlashes(recordFile) + "\"\r\n" + extra);
  SetEnvironment("RECORDING_PLUGIN_SETTINGS", iniPath);
}

bool Overwrite(const std::string& from, const std::string& to) {
  return CopyFileBytes(from, to);
}

void CreateFolders(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
}

int IndexOf(const std::vector<std::string>& lines, const std::string& line, int from) {
  for (int at = std::max(from, 0); at < static_cast<int>(lines.size()); ++at) {
    if (lines[static_cast<size_t>(at)] == line) return at;
  }
  return -1;
}
