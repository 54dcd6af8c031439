#pragma once

// The contract between the Trellan host and the plugin libraries it loads.
// Both sides are built separately, so every layout here is fixed.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#define PLUGIN_EXPORT extern "C" __declspec(dllexport)
#else
#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// The only plugin version the host accepts.
inline constexpr int32_t kPluginInterfaceVersion = 2;

// A 32-bit icon handle (an HICON's value on Windows; an opaque number elsewhere).
using IconHandle = uint32_t;

// The handle GetMenu returns: an HMENU on Windows; a PortableMenu* elsewhere.
using MenuHandle = void*;

using HostCallbackFunction = int32_t (*)(int32_t pluginId, IconHandle icon, int32_t command,
                                         int32_t priority, const char* text);

// The plugin object. Word 0 is the table of the six operations below, word 1
// `pluginId`, word 2 `hostCallback`, then the plugin's own data. The host never
// deletes it: it lives until its library is unloaded.
class Plugin {
 public:
  virtual void Start() = 0;
  virtual void Stop() = 0;
  // Packed major (bits 16..23), minor (8..15), patch (0..7).
  virtual uint32_t GetVersion() = 0;
  virtual const char* GetName() = 0;
  virtual MenuHandle GetMenu() = 0;
  virtual int32_t OnCommand(int32_t code) = 0;

  int32_t pluginId = 0;
  HostCallbackFunction hostCallback = nullptr;

 protected:
  Plugin() = default;
  ~Plugin() = default;
};

using GetPluginVersionFunction = int32_t (*)();
using GetPluginFunction = void (*)(Plugin** slot);

// The record a status report carries to the host: 76 bytes, little-endian,
// no padding.
#pragma pack(push, 1)
struct StatusRecord {
  int32_t pluginId;
  int32_t command;
  char tip[64];
  IconHandle icon;
};
#pragma pack(pop)
static_assert(sizeof(StatusRecord) == 76);
static_assert(offsetof(StatusRecord, pluginId) == 0);
static_assert(offsetof(StatusRecord, command) == 4);
static_assert(offsetof(StatusRecord, tip) == 8);
static_assert(offsetof(StatusRecord, icon) == 72);

// Builds the record HostCallback sends: at most 63 characters of tip.
inline StatusRecord MakeStatusRecord(int32_t pluginId, IconHandle icon, int32_t command,
                                     const char* text) {
  StatusRecord record;
  std::memset(&record, 0, sizeof record);
  record.pluginId = pluginId;
  record.command = command;
  record.icon = icon;
  if (text) {
    std::size_t length = std::strlen(text);
    if (length > 63) length = 63;
    std::memcpy(record.tip, text, length);
  }
  return record;
}

// Codes of the WM_COPYDATA messages (and their Linux equivalents) sent to the
// host window.
enum HostMessageCode : uint32_t {
  HostQuit = 1,
  StatusPriority0 = 2,
  StatusPriority1 = 3,
  StatusPriority2 = 4,
  StatusRemove = 5,
  StatusRefresh = 6,
};

// Priority 0/1/2 maps to codes 2/3/4; anything else removes the reports.
inline uint32_t StatusCodeForPriority(int32_t priority) {
  return priority >= 0 && priority <= 2 ? StatusPriority0 + static_cast<uint32_t>(priority)
                                        : StatusRemove;
}

// Menu identifiers: plugin items carry (pluginId << 8) | code.
inline constexpr uint32_t kMenuManagePlugins = 0xFFFC;
inline constexpr uint32_t kMenuNothing = 0xFFFD;
inline constexpr uint32_t kMenuAbout = 0xFFFE;
inline constexpr uint32_t kMenuExit = 0xFFFF;

inline constexpr uint32_t PluginMenuId(int32_t pluginId, int32_t code) {
  return (static_cast<uint32_t>(pluginId) << 8) | (static_cast<uint32_t>(code) & 0xFF);
}
inline constexpr int32_t MenuIdPlugin(uint32_t id) {
  return static_cast<int32_t>(id >> 8);
}
inline constexpr int32_t MenuIdCode(uint32_t id) {
  return static_cast<int32_t>(id & 0xFF);
}

// Where there is no window system, GetMenu returns one of these. It is plain
// C memory from malloc, so the host frees it with DestroyPortableMenu whatever
// module made it.
struct PortableMenuItem {
  uint32_t id;  // 0 for a separator
  char text[64];
};
struct PortableMenu {
  uint32_t count;
  PortableMenuItem items[1];  // `count` items follow
};

inline PortableMenu* CreatePortableMenu() {
  auto* menu = static_cast<PortableMenu*>(std::calloc(1, sizeof(PortableMenu)));
  return menu;
}

// Appends an item (a separator when `text` is null); returns the menu, which
// may have moved, or null when memory ran out (the old menu is then freed).
inline PortableMenu* AppendPortableMenuItem(PortableMenu* menu, uint32_t id, const char* text) {
  if (!menu) return nullptr;
  std::size_t size = offsetof(PortableMenu, items) + sizeof(PortableMenuItem) * (menu->count + 1);
  auto* grown = static_cast<PortableMenu*>(std::realloc(menu, size));
  if (!grown) {
    std::free(menu);
    return nullptr;
  }
  PortableMenuItem& item = grown->items[grown->count++];
  std::memset(&item, 0, sizeof item);
  item.id = text ? id : 0;
  if (text) std::strncpy(item.text, text, sizeof item.text - 1);
  return grown;
}

inline void DestroyPortableMenu(PortableMenu* menu) {
  std::free(menu);
}
