#include <windows.h>

#include "foundation/dynamic_library.h"

bool DynamicLibrary::Load(const std::string& path) {
  Release();
  handle_ = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
  return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
  if (!handle_) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void DynamicLibrary::Release() {
  if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}
