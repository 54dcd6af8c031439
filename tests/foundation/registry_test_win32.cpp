#include <windows.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "foundation/registry.h"

namespace {

std::string FreshProduct() {
  std::random_device random;
  return "Orvi Test Win32 " + std::to_string(random()) + std::to_string(random());
}

TEST(RegistryWin32, ValueLivesBelowTheMachineKey) {
  std::string product = FreshProduct();
  RegistrySet(product, "Path", "C:\\Orvi");
  HKEY key = nullptr;
  std::string path = "SOFTWARE\\Quintarvo\\" + product;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  char data[64] = {};
  DWORD size = sizeof(data);
  DWORD type = REG_NONE;
  EXPECT_EQ(RegQueryValueExA(key, "Path", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
            static_cast<LONG>(ERROR_SUCCESS));
  RegCloseKey(key);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_STREQ(data, "C:\\Orvi");
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

TEST(RegistryWin32, OtherValueTypesReadAsEmpty) {
  std::string product = FreshProduct();
  std::string path = "SOFTWARE\\Quintarvo\\" + product;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            static_cast<LONG>(ERROR_SUCCESS));
  DWORD number = 0x41424344;
  RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                 sizeof(number));
  const char blob[] = "C:\\Blob";
  RegSetValueExA(key, "Blob", 0, REG_BINARY, reinterpret_cast<const BYTE*>(blob), sizeof(blob));
  RegCloseKey(key);
  EXPECT_EQ(RegistryGet(product, "Number"), "");
  EXPECT_EQ(RegistryGet(product, "Blob"), "");
  // Writing the value replaces it with a string.
  RegistrySet(product, "Number", "C:\\Now a string");
  EXPECT_EQ(RegistryGet(product, "Number"), "C:\\Now a string");
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

}  // namespace
