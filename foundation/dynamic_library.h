#pragma once

#include <string>

// A library loaded at run time (LoadLibrary / dlopen), released on
// destruction unless Release() was called first.
class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary() { Release(); }
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;
  DynamicLibrary(DynamicLibrary&& other) noexcept : handle_(other.handle_) {
    other.handle_ = nullptr;
  }
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
      Release();
      handle_ = other.handle_;
      other.handle_ = nullptr;
    }
    return *this;
  }

  // Loads the file; false (and nothing held) when it cannot be loaded.
  bool Load(const std::string& path);
  bool IsLoaded() const { return handle_ != nullptr; }
  // The address of an exported symbol, or null.
  void* Symbol(const char* name) const;
  void Release();

 private:
  void* handle_ = nullptr;
};
