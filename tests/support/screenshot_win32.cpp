#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "foundation/file_system.h"
#include "tests/support/test_support.h"

// Saves the screen (the virtual desktop under Wine) as a PNG with
// ImageMagick's import, a Linux program that Wine starts directly.
bool TakeScreenshot(const std::string& file) {
  using ToUnix = char*(CDECL*)(LPCWSTR);
  using ToDos = WCHAR*(CDECL*)(LPCSTR);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto to_unix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
  auto to_dos = reinterpret_cast<ToDos>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_dos_file_name")));
  if (!to_unix || !to_dos) return false;
  WCHAR wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
  char* unix_file = to_unix(wide);
  WCHAR* import_program = to_dos("/usr/bin/import");
  if (!unix_file || !import_program) return false;
  std::wstring command = L"import -window root \"";
  for (const char* c = unix_file; *c; ++c) command += static_cast<WCHAR>(*c);
  command += L"\"";
  HeapFree(GetProcessHeap(), 0, unix_file);
  RemoveFile(file);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  BOOL started = CreateProcessW(import_program, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, &startup, &process);
  HeapFree(GetProcessHeap(), 0, import_program);
  if (!started) return false;
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);
  // A Linux child has no process handle: wait for a complete file instead.
  uint64_t last = 0;
  return WaitUntil(
      [&] {
        std::optional<FileStatus> status = QueryFileStatus(file);
        uint64_t size = status ? status->size : 0;
        bool settled = size > 0 && size == last;
        last = size;
        if (!settled) Sleep(300);
        return settled;
      },
      30000);
}
