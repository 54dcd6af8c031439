#include <dlfcn.h>

#include "foundation/dynamic_library.h"

bool DynamicLibrary::Load(const std::string& path) {
  Release();
  // Local binding: each plugin keeps its own copy of everything it links.
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
  return handle_ ? dlsym(handle_, name) : nullptr;
}

void DynamicLibrary::Release() {
  if (handle_) dlclose(handle_);
  handle_ = nullptr;
}
