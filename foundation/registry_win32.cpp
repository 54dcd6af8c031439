#include <windows.h>

#include <cstring>

#include "foundation/registry.h"

namespace {

constexpr DWORD kValueBufferSize = 260;

std::string KeyPath(const std::string& product) {
  return "SOFTWARE\\Quintarvo\\" + product;
}

}  // namespace

std::string RegistryGet(const std::string& product, const std::string& value) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath(product).c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return std::string();
  }
  char buffer[kValueBufferSize] = {};
  DWORD size = kValueBufferSize;
  DWORD type = REG_NONE;
  LONG status =
      RegQueryValueExA(key, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  // Only string values count: a number or binary blob read as text would be
  // garbage, and an empty result makes the caller write a proper default.
  if (status != ERROR_SUCCESS || type != REG_SZ) return std::string();
  // A value stored without its NUL may fill the buffer completely.
  size_t length = strnlen(buffer, size < kValueBufferSize ? size : kValueBufferSize);
  return std::string(buffer, length);
}

void RegistrySet(const std::string& product, const std::string& value, const std::string& text) {
  std::string path = KeyPath(product);
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS) {
    key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
      return;
    }
  }
  // A string value's data includes its terminating NUL.
  const char* data = text.c_str();
  DWORD size = static_cast<DWORD>(std::strlen(data) + 1);
  RegSetValueExA(key, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}
