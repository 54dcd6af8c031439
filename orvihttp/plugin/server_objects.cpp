#include "orvihttp/plugin/server_objects.h"

#include "foundation/settings.h"
#include "orvihttp/content/virtual_directory.h"
#include "orvihttp/http/client_registry.h"
#include "orvihttp/http/ip_blacklist.h"
#include "orvihttp/http/listener.h"
#include "orvihttp/http/mime_table.h"
#include "orvihttp/logging/log_lock.h"

void EndServing() {
  DestroyListener();
  DestroyClientRegistry();
}

void DestroyServerObjects() {
  EndServing();
  LogLock::Destroy();
  DestroySettings();
  VirtualDirectory::Destroy();
  DestroyMimeTable();
  DestroyIpBlacklist();
}
