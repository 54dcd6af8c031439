#include <windows.h>

#include <io.h>

#include "foundation/disk_space.h"

std::optional<uint64_t> FreeDiskBytes(const std::string& folder) {
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr)) return std::nullopt;
  return static_cast<uint64_t>(available.QuadPart);
}

bool FlushFileToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
  const intptr_t handle = _get_osfhandle(_fileno(file));
  if (handle == -1) return false;
  return FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != 0;
}
