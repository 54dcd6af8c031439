#include "tests/host/installed_host.h"

#include <filesystem>
#include <system_error>

#include "foundation/paths.h"
#include "foundation/registry.h"
#include "host/plugin_file_name.h"
#include "tests/host/host_test_support.h"

InstalledHost::InstalledHost(const std::string& recordingSettings) {
  program_ = root_.File(ProgramFileName("Trellan"));
  // copy_file keeps the program's execute permission.
  std::error_code error;
  std::filesystem::copy_file(JoinPath(TestBinaryDir(), ProgramFileName("Trellan")), program_,
                             std::filesystem::copy_options::overwrite_existing, error);
  output_ = root_.File("output.txt");
  UseRecordingSettings(root_.File("RecordingPlugin.ini"), output_, recordingSettings);
  RegistrySet("Trellan", "Path", root_.path());
}

InstalledHost::~InstalledHost() {
  SetEnvironment("RECORDING_PLUGIN_SETTINGS", "");
}

void InstalledHost::Put(const std::string& fixture, const std::string& relative) {
  std::string target = JoinPath(plugins(), relative);
  CreateFolders(ParentFolder(target));
  Overwrite(FixturePath(fixture), target);
}

std::string InstalledHost::Lib(const std::string& base) {
  return base + kPluginFileSuffix;
}

bool InstalledHost::Start(HostProcess& process) {
  return process.Start(program_, output_);
}

std::vector<std::string> InstalledHost::Lines() const {
  return ReadLines(output_);
}

int InstalledHost::CountOf(const std::string& line) const {
  int count = 0;
  for (const std::string& each : Lines()) count += each == line ? 1 : 0;
  return count;
}

bool InstalledHost::WaitForLine(const std::string& line, int count, int timeoutMs) const {
  return WaitUntil([&] { return CountOf(line) >= count; }, timeoutMs);
}

std::string InstalledHost::plugins() const {
  return root_.File("Plugins");
}

std::string InstalledHost::temp() const {
  return root_.File("Temp");
}

std::string InstalledHost::settingsFile() const {
  return root_.File("Trellan.ini");
}
