#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// A text made from a time in whole seconds (a date line, a log stamp), kept
// by a thread for as long as its second lasts: made again only when the
// second changes. Declare it thread_local. Plain storage only: with
// mingw-w64's emulated TLS a thread_local with a destructor can be destroyed
// after its storage is gone when many threads end.
struct SecondText {
  int64_t second = -1;
  std::size_t size = 0;
  char text[64] = {};

  template <typename Make>
  std::string For(int64_t now, Make make) {
    std::string out;
    AppendTo(now, make, out);
    return out;
  }

  // The text as a view of this thread's copy, good until the thread's next
  // call; for texts of at most 64 bytes (a longer one is cut there).
  template <typename Make>
  std::string_view View(int64_t now, Make make) {
    if (now != second) {
      const std::string made = make();
      size = made.size() < sizeof text ? made.size() : sizeof text;
      std::memcpy(text, made.data(), size);
      second = now;
    }
    return std::string_view(text, size);
  }

  // The same, appended to `out` without a copy of its own.
  template <typename Make>
  void AppendTo(int64_t now, Make make, std::string& out) {
    if (now != second) {
      const std::string made = make();
      if (made.size() > sizeof text) {
        out += made;
        return;
      }
      std::memcpy(text, made.data(), made.size());
      size = made.size();
      second = now;
    }
    out.append(text, size);
  }
};
