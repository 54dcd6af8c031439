#include "tests/orvihttp/plugin/loaded_server_plugin.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>

#include "foundation/dovetab.h"
#include "foundation/paths.h"
#include "foundation/registry.h"

ReportRecorder& ReportRecorder::Instance() {
  static ReportRecorder recorder;
  return recorder;
}

int32_t ReportRecorder::Callback(int32_t pluginId, IconHandle icon, int32_t command,
                                 int32_t priority, const char* text) {
  ReportRecorder& self = Instance();
  std::unique_lock<std::mutex> lock(self.mutex_);
  self.reports_.push_back(HostReport{pluginId, icon, command, priority, text ? text : ""});
  ++self.inside_;
  self.changed_.notify_all();
  self.changed_.wait(lock, [&] { return !self.block_; });
  --self.inside_;
  self.changed_.notify_all();
  return 0;
}

void ReportRecorder::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  reports_.clear();
  block_ = false;
  changed_.notify_all();
}

std::vector<HostReport> ReportRecorder::Reports() {
  std::lock_guard<std::mutex> lock(mutex_);
  return reports_;
}

bool ReportRecorder::WaitForReports(std::size_t count, int milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                           [&] { return reports_.size() >= count; });
}

void ReportRecorder::BlockCalls() {
  std::lock_guard<std::mutex> lock(mutex_);
  block_ = true;
}

void ReportRecorder::Unblock() {
  std::lock_guard<std::mutex> lock(mutex_);
  block_ = false;
  changed_.notify_all();
}

bool ReportRecorder::WaitUntilBlocked(int milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                           [&] { return inside_ > 0; });
}

int ReportRecorder::CallsInside() {
  std::lock_guard<std::mutex> lock(mutex_);
  return inside_;
}

LoadedServerPlugin::LoadedServerPlugin() {
  ReportRecorder::Instance().Reset();
  RegistrySet("Orvi HTTP Server", "Path", folder_.path());
  if (!library_.Load(JoinPath(TestBinaryDir(), LibraryFileName("OrviHTTP")))) return;
  plugin_ = NewObject();
}

LoadedServerPlugin::~LoadedServerPlugin() {
  Stop();
  ReportRecorder::Instance().Unblock();
}

Plugin* LoadedServerPlugin::NewObject() {
  auto get_plugin = reinterpret_cast<GetPluginFunction>(library_.Symbol("GetPlugin"));
  if (!get_plugin) return nullptr;
  Plugin* object = nullptr;
  get_plugin(&object);
  if (!object) return nullptr;
  // Written as the host writes them: raw words after the operation table.
  char* words = reinterpret_cast<char*>(object);
  int32_t id = kPluginId;
  HostCallbackFunction callback = &ReportRecorder::Callback;
  std::memcpy(words + sizeof(void*), &id, sizeof id);
  std::memcpy(words + 2 * sizeof(void*), &callback, sizeof callback);
  return object;
}

void LoadedServerPlugin::WriteIni(const std::vector<std::string>& lines) {
  std::string text = dovetab::kHeader;
  for (const std::string& line : lines) text += line + "\r\n";
  std::ofstream out(folder_.File("OrviHTTP.ini"), std::ios::binary | std::ios::trunc);
  out << text;
}

std::string LoadedServerPlugin::ReadFile(const std::string& name) const {
  std::ifstream in(folder_.File(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> LoadedServerPlugin::IniEntries() const {
  std::vector<std::string> entries;
  dovetab::Parse(ReadFile("OrviHTTP.ini"), [&](const Setting& entry) {
    entries.push_back(entry.name + " = " + dovetab::FormatValue(entry));
  });
  return entries;
}

void LoadedServerPlugin::Start() {
  if (!plugin_ || started_) return;
  started_ = true;
  plugin_->Start();
}

void LoadedServerPlugin::Stop() {
  if (!plugin_ || !started_) return;
  started_ = false;
  plugin_->Stop();
}
