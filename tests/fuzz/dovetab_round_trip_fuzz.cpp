// Any string value, whatever bytes it holds, must read back from the text the
// store writes for it; and the text must stay one line per entry.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/dovetab.h"
#include "foundation/settings.h"

namespace {

void Fail(const char* what, const std::string& value) {
  std::fprintf(stderr, "dovetab_round_trip_fuzz: %s (value of %zu bytes)\n", what, value.size());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string value(reinterpret_cast<const char*>(data), size);
  Setting entry;
  entry.name = "Value";
  entry.type = Setting::Type::String;
  entry.stringValue = value;
  entry.persistent = true;
  Setting follower = entry;
  follower.name = "Next";
  follower.stringValue = "after";

  std::string text = dovetab::Write({entry, follower});
  std::vector<Setting> back;
  dovetab::Parse(text, [&back](const Setting& read) { back.push_back(read); });
  if (back.size() != 2) Fail("the text does not read back as two entries", value);
  if (back[0].type != Setting::Type::String || back[0].stringValue != value) {
    Fail("the value reads back changed", value);
  }
  if (back[1].name != "Next" || back[1].stringValue != "after") {
    Fail("the value spoils the next line", value);
  }
  if (dovetab::Write(back) != text) Fail("writing what was read gives another text", value);
  return 0;
}
