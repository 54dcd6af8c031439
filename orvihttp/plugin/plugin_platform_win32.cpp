#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <cstdint>

#include "foundation/this_module_win32.h"
#include "orvihttp/plugin/plugin_platform.h"

namespace {

bool comInitialised = false;

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
