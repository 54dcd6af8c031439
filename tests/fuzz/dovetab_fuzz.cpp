// Any text must load without harm, and what the store saves must read back to
// the same store: Save -> Load -> Save is a fixed point.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/dovetab.h"
#include "foundation/settings.h"

namespace {

bool SameEntries(const std::vector<Setting>& a, const std::vector<Setting>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].intValue != b[i].intValue ||
        a[i].boolValue != b[i].boolValue || a[i].stringValue != b[i].stringValue ||
        a[i].persistent != b[i].persistent) {
      return false;
    }
  }
  return true;
}

void Fail(const char* what) {
  std::fprintf(stderr, "dovetab_fuzz: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);

  DestroySettings();
  LoadSettingsText(text);
  std::vector<Setting> loaded = AllSettings();
  std::string saved = SaveSettingsText();
  if (saved.compare(0, sizeof(dovetab::kHeader) - 1, dovetab::kHeader) != 0) {
    Fail("saved text lacks the header");
  }

  DestroySettings();
  LoadSettingsText(saved);
  if (!SameEntries(AllSettings(), loaded)) Fail("saved text reads back to other entries");
  if (SaveSettingsText() != saved) Fail("save is not a fixed point");

  DestroySettings();
  return 0;
}
