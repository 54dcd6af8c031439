#include <windows.h>

#include <io.h>
#include <winternl.h>

#include <cstring>

#include "foundation/file_system.h"
#include "foundation/paths.h"

namespace {

// FILETIME counts 100 ns steps since 1601.
FileTime FromFileTime(const FILETIME& written) {
  uint64_t ticks = (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  FileTime time;
  time.seconds = static_cast<int64_t>(ticks / 10000000u) - 11644473600LL;
  time.nanoseconds = static_cast<uint32_t>(ticks % 10000000u) * 100u;
  return time;
}

uint64_t SizeOf(DWORD high, DWORD low) {
  return (static_cast<uint64_t>(high) << 32) | low;
}

FileTime FromLargeTime(const LARGE_INTEGER& time) {
  FILETIME split;
  split.dwLowDateTime = time.LowPart;
  split.dwHighDateTime = static_cast<DWORD>(time.HighPart);
  return FromFileTime(split);
}

typedef LONG(WINAPI* QueryFullAttributes)(POBJECT_ATTRIBUTES, PFILE_NETWORK_OPEN_INFORMATION);

// The system's own query by path is the one that also tells the time of a
// file's last change (a rename or rewrite in place changes it), which the
// documented calls by path leave out.
QueryFullAttributes FullAttributesQuery() {
  static const QueryFullAttributes query =
      reinterpret_cast<QueryFullAttributes>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryFullAttributesFile")));
  return query;
}

// The path in the system's own form: \\??\C:\... or \\??\UNC\server\share\...
std::wstring SystemPathOf(const std::string& path) {
  int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  if (length <= 0) return L"";
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
  DWORD fullLength = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (fullLength == 0) return L"";
  std::wstring full(fullLength, L'\0');
  fullLength = GetFullPathNameW(wide.c_str(), fullLength, full.data(), nullptr);
  full.resize(fullLength);
  if (full.rfind(L"\\\\?\\", 0) == 0) return L"\\??\\" + full.substr(4);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\??\\UNC\\" + full.substr(2);
  return L"\\??\\" + full;
}

std::optional<FileStatus> QueryByFullAttributes(const std::string& path, bool* answered) {
  *answered = false;
  QueryFullAttributes query = FullAttributesQuery();
  if (!query) return std::nullopt;
  std::wstring systemPath = SystemPathOf(path);
  if (systemPath.empty() || systemPath.size() * sizeof(wchar_t) > 0xfffe) return std::nullopt;
  UNICODE_STRING name;
  name.Buffer = systemPath.data();
  name.Length = static_cast<USHORT>(systemPath.size() * sizeof(wchar_t));
  name.MaximumLength = name.Length;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
  FILE_NETWORK_OPEN_INFORMATION information{};
  *answered = true;
  if (query(&attributes, &information) < 0) return std::nullopt;
  if (information.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
  FileStatus status;
  status.size = static_cast<uint64_t>(information.EndOfFile.QuadPart);
  status.lastWrite = FromLargeTime(information.LastWriteTime);
  status.changed = FromLargeTime(information.ChangeTime);
  return status;
}

}  // namespace

std::optional<std::vector<FolderEntry>> TryListFolder(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(JoinPath(folder, "*").c_str(), &found);
  // An empty folder still lists "." and "..", so a failed search is a folder
  // that cannot be read.
  if (search == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<FolderEntry> entries;
  do {
    if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0) {
      continue;
    }
    FolderEntry entry;
    entry.name = found.cFileName;
    entry.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.isFile = !(found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
    entry.isLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entry.size = SizeOf(found.nFileSizeHigh, found.nFileSizeLow);
    entry.lastWrite = FromFileTime(found.ftLastWriteTime);
    entries.push_back(std::move(entry));
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return entries;
}

std::string RealPath(const std::string& path) {
  // Backup semantics let the handle stand for a folder too.
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  char buffer[MAX_PATH * 4] = {};
  DWORD length = GetFinalPathNameByHandleA(file, buffer, sizeof buffer, FILE_NAME_NORMALIZED);
  CloseHandle(file);
  if (length == 0 || length >= sizeof buffer) return "";
  std::string result(buffer, length);
  // The answer comes in the long-path form: \\?\C:\x or \\?\UNC\server\share.
  if (result.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + result.substr(8);
  if (result.rfind("\\\\?\\", 0) == 0) return result.substr(4);
  return result;
}

std::optional<FileStatus> QueryFileStatus(const std::string& path) {
  bool answered = false;
  std::optional<FileStatus> status = QueryByFullAttributes(path, &answered);
  if (answered) return status;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
  status.emplace();
  status->size = SizeOf(data.nFileSizeHigh, data.nFileSizeLow);
  status->lastWrite = FromFileTime(data.ftLastWriteTime);
  return status;
}

std::optional<FileStatus> QueryOpenFileStatus(std::FILE* file) {
  if (!file) return std::nullopt;
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  BY_HANDLE_FILE_INFORMATION data{};
  if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &data)) {
    return std::nullopt;
  }
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
  FileStatus status;
  status.size = SizeOf(data.nFileSizeHigh, data.nFileSizeLow);
  status.lastWrite = FromFileTime(data.ftLastWriteTime);
  // The same change time the query by path reports.
  FILE_BASIC_INFO basic{};
  if (FullAttributesQuery() &&
      GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) {
    status.changed = FromLargeTime(basic.ChangeTime);
  }
  return status;
}

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateFolder(const std::string& path) {
  if (IsFolder(path)) return true;
  return CreateDirectoryA(path.c_str(), nullptr) || IsFolder(path);
}

bool RemoveFile(const std::string& path) {
  return DeleteFileA(path.c_str()) != 0;
}

bool RemoveFolder(const std::string& path) {
  return RemoveDirectoryA(path.c_str()) != 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
