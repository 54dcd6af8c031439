#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

// Helpers shared by the host's tests.

// The lines of a text file ("\n"-separated, the last one without "\n" too).
std::vector<std::string> ReadLines(const std::string& path);
// A fixture library built beside the test program, e.g. "fixture_null_plugin".
std::string FixturePath(const std::string& base);
// A path the Dovetab reader keeps as it is (a backslash before r or n would
// turn into a line break).
std::string ForwardSlashes(std::string path);
// Writes the recording plugin's settings (RecordFile plus `extra` Dovetab
// lines, each ended by "\r\n") and points RECORDING_PLUGIN_SETTINGS at them.
void UseRecordingSettings(const std::string& iniPath, const std::string& recordFile,
                          const std::string& extra = std::string());
// Copies a file over another; the target's last-write time changes.
bool Overwrite(const std::string& from, const std::string& to);
// Creates a folder and its missing parents.
void CreateFolders(const std::string& path);
// The index of `line` in `lines` at or after `from`, or -1.
int IndexOf(const std::vector<std::string>& lines, const std::string& line, int from = 0);
