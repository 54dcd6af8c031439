#include "tests/support/test_support.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>
#include <thread>

#include "foundation/paths.h"

std::string TestBinaryDir() {
  return ParentFolder(ExecutablePath());
}

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  std::error_code error;
  std::filesystem::path base = std::filesystem::temp_directory_path(error);
  for (;;) {
    std::filesystem::path candidate =
        base / ("orvi-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
    if (std::filesystem::create_directory(candidate, error)) {
      path_ = candidate.string();
      break;
    }
  }
}

TempFolder::~TempFolder() {
  RemoveTree(path_);
}

std::string TempFolder::File(const std::string& name) const {
  return JoinPath(path_, name);
}

void RemoveTree(const std::string& path) {
  std::error_code error;
  std::filesystem::remove_all(path, error);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string LeWord(uint32_t value) {
  std::string out;
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(value >> shift));
  return out;
}

bool CopyFileBytes(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  if (!in) return false;
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out << in.rdbuf();
  return static_cast<bool>(out);
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::string ArtifactsFolder() {
  std::string folder = JoinPath(ParentFolder(TestBinaryDir()), "artifacts");
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return folder;
}
