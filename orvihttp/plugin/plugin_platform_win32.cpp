#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <cstdint>

#include "orvihttp/plugin/plugin_platform.h"

namespace {

bool comInitialised = false;

// The module of this library (not the host's executable).
HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

}  // namespace

void InitialisePluginPlatform() {
  // S_FALSE (already initialised on this thread) must be balanced as well.
  comInitialised = SUCCEEDED(CoInitialize(nullptr));
  INITCOMMONCONTROLSEX controls;
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_TAB_CLASSES | ICC_INTERNET_CLASSES;
  InitCommonControlsEx(&controls);
}

void ShutdownPluginPlatform() {
  if (comInitialised) CoUninitialize();
  comInitialised = false;
}

IconHandle LoadPluginIcon(int resource) {
  // Shared icons belong to the module and need no DestroyIcon.
  HANDLE icon = LoadImageA(ThisModule(), MAKEINTRESOURCEA(resource), IMAGE_ICON, 16, 16, LR_SHARED);
  return static_cast<IconHandle>(reinterpret_cast<uintptr_t>(icon));
}
