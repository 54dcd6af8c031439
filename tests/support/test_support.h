#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Folder of the running test program; the deliverables and fixtures are
// built beside it.
std::string TestBinaryDir();

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes away.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // path() + separator + name
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

// Removes a file or a folder with everything in it.
void RemoveTree(const std::string& path);
// Copies one file byte for byte; false when it could not be done.
bool CopyFileBytes(const std::string& from, const std::string& to);
// The whole file as bytes (NULs included); "" when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// Creates or truncates the file with exactly these bytes.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// Four little-endian bytes, as the binary file formats store a number.
std::string LeWord(uint32_t value);
// Sets or clears an environment variable of this process.
void SetEnvironment(const std::string& name, const std::string& value);
// The file name of a fixture or deliverable library for this platform,
// e.g. "fixture_version_one" -> "fixture_version_one.dll" / ".so".
std::string LibraryFileName(const std::string& base);

// Polls `done` every few milliseconds; false when it is still false after
// `timeoutMs`.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);

// Windows tests under Wine: the folder under the build tree where screenshots
// are kept, and a screenshot of the whole screen (the virtual desktop) saved
// there as a PNG.
std::string ArtifactsFolder();
bool TakeScreenshot(const std::string& file);

// Ends the process with this id at once, as a crash or a kill from outside
// would; false when there is no such process.
bool KillProcess(long processId);
// True while the process with this id runs.
bool ProcessRunning(long processId);
