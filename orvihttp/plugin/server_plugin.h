#pragma once

#include "plugin_api/plugin_api.h"

// The HTTP server's plugin object.
class ServerPlugin : public Plugin {
 public:
  ServerPlugin();
  void Start() override;
  void Stop() override;
  uint32_t GetVersion() override;
  const char* GetName() override;
  MenuHandle GetMenu() override;
  int32_t OnCommand(int32_t code) override;
};
