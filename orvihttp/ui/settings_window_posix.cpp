#include "orvihttp/ui/settings_window.h"

// The Linux build has no desktop to show a window on.
std::unique_ptr<SettingsWindowObject> CreateSettingsWindow(Server& /*server*/,
                                                           std::function<void()> /*openHelp*/) {
  return nullptr;
}
