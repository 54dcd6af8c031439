#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The tests' own reader of the server's .zip archives: it walks the local
// headers, the data and their descriptors, then the central directory and
// its end records, checks that both agree, and checks every CRC with zlib.

struct ZipTestEntry {
  std::string name;  // as stored (UTF-8)
  std::string data;
  bool folder = false;
  bool zip64 = false;
  uint16_t flags = 0;
  uint16_t dosTime = 0;
  uint16_t dosDate = 0;
};

struct ZipTestArchive {
  std::vector<ZipTestEntry> entries;  // in the archive's order
  bool zip64End = false;              // the 64-bit end records are there
  std::string error;                  // "" when the archive is sound
};

ZipTestArchive ReadZipForTest(const std::string& bytes);
