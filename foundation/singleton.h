#pragma once

#include <mutex>

#include "foundation/critical_section.h"

// A process-wide object created on first use and destroyed explicitly, once, at
// shutdown. Every access is bracketed by Lock() and Unlock() (or a
// SingletonAccess), which enters the object's own CriticalSection.
//
// Declare one per type as a function-local or namespace-scope static; the
// holder itself is constant-initialised, so it is usable from static
// initialisers of other files.
template <class T>
class Singleton {
 public:
  constexpr Singleton() = default;
  Singleton(const Singleton&) = delete;
  Singleton& operator=(const Singleton&) = delete;

  // Creates the object on first use, then enters its lock.
  T& Lock() {
    Slot* slot;
    {
      std::lock_guard<std::mutex> guard(create_mutex_);
      if (!slot_) slot_ = new Slot();
      slot = slot_;
    }
    slot->section.Enter();
    return slot->object;
  }

  void Unlock() {
    Slot* slot;
    {
      std::lock_guard<std::mutex> guard(create_mutex_);
      slot = slot_;
    }
    if (slot) slot->section.Leave();
  }

  bool Exists() {
    std::lock_guard<std::mutex> guard(create_mutex_);
    return slot_ != nullptr;
  }

  // Destroys the object and its lock once the current holder has left. The
  // shutdown order guarantees nobody is still waiting to enter it; the next
  // Lock() creates a fresh object.
  void Destroy() {
    Slot* slot;
    {
      std::lock_guard<std::mutex> guard(create_mutex_);
      slot = slot_;
    }
    if (!slot) return;
    slot->section.Enter();
    {
      std::lock_guard<std::mutex> guard(create_mutex_);
      slot_ = nullptr;
    }
    slot->section.Leave();
    delete slot;
  }

 private:
  struct Slot {
    CriticalSection section;
    T object;
  };
  std::mutex create_mutex_;
  Slot* slot_ = nullptr;
};

// Scoped access to a Singleton: locks on construction, unlocks on destruction.
template <class T>
class SingletonAccess {
 public:
  explicit SingletonAccess(Singleton<T>& holder) : holder_(holder), object_(holder.Lock()) {}
  ~SingletonAccess() { holder_.Unlock(); }
  SingletonAccess(const SingletonAccess&) = delete;
  SingletonAccess& operator=(const SingletonAccess&) = delete;

  T& operator*() const { return object_; }
  T* operator->() const { return &object_; }

 private:
  Singleton<T>& holder_;
  T& object_;
};
