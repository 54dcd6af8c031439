#include "plugin_api/plugin_api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

#include "foundation/dovetab.h"
#include "foundation/dynamic_library.h"
#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "tests/support/test_support.h"

namespace {

// A plugin with data of its own, to see where the host-written words sit.
class LayoutProbe : public Plugin {
 public:
  void Start() override {}
  void Stop() override {}
  uint32_t GetVersion() override { return 0; }
  const char* GetName() override { return ""; }
  MenuHandle GetMenu() override { return nullptr; }
  int32_t OnCommand(int32_t) override { return 0; }
  uint64_t ownData = 0;
};

int32_t NoCallback(int32_t, IconHandle, int32_t, int32_t, const char*) {
  return 0;
}

TEST(PluginLayout, VtableThenPluginIdThenCallbackThenOwnData) {
  LayoutProbe probe;
  const char* base = reinterpret_cast<const char*>(&probe);
  // Word 0: the table of operations, the object's first pointer.
  EXPECT_EQ(reinterpret_cast<const char*>(&probe.pluginId) - base,
            static_cast<std::ptrdiff_t>(sizeof(void*)));
  EXPECT_EQ(reinterpret_cast<const char*>(&probe.hostCallback) - base,
            static_cast<std::ptrdiff_t>(2 * sizeof(void*)));
  EXPECT_EQ(reinterpret_cast<const char*>(&probe.ownData) - base,
            static_cast<std::ptrdiff_t>(3 * sizeof(void*)));
  EXPECT_EQ(sizeof(Plugin), 3 * sizeof(void*));
}

// The host writes the two words through raw memory, as a separately built
// program would, and the plugin library sees them.
TEST(PluginLayout, WordsWrittenByTheHostReachTheLibrary) {
  DynamicLibrary library;
  ASSERT_TRUE(library.Load(JoinPath(TestBinaryDir(), LibraryFileName("fixture_recording_plugin"))));
  auto version = reinterpret_cast<GetPluginVersionFunction>(library.Symbol("GetPluginVersion"));
  auto get_plugin = reinterpret_cast<GetPluginFunction>(library.Symbol("GetPlugin"));
  ASSERT_NE(version, nullptr);
  ASSERT_NE(get_plugin, nullptr);
  EXPECT_EQ(version(), 2);
  Plugin* plugin = nullptr;
  get_plugin(&plugin);
  ASSERT_NE(plugin, nullptr);

  char* words = reinterpret_cast<char*>(plugin);
  int32_t id = 42;
  HostCallbackFunction callback = &NoCallback;
  std::memcpy(words + sizeof(void*), &id, sizeof id);
  std::memcpy(words + 2 * sizeof(void*), &callback, sizeof callback);
  EXPECT_EQ(std::string(plugin->GetName()), "Recording 42");
  EXPECT_EQ(plugin->hostCallback, &NoCallback);
  EXPECT_EQ(plugin->GetVersion(), 0x00010203u);
  // The object is never deleted by the host; unloading the library ends it.
}

TEST(PluginExports, DeliverableAndFixturesExportWhatTheHostLooksFor) {
  struct Case {
    const char* library;
    bool hasGetPlugin;
    int32_t version;
  };
  const Case cases[] = {{"OrviHTTP", true, 2},
                        {"fixture_version_one", true, 1},
                        {"fixture_null_plugin", true, 2},
                        {"fixture_missing_export", false, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.library);
    std::string path = JoinPath(TestBinaryDir(), LibraryFileName(c.library));
    DynamicLibrary library;
    ASSERT_TRUE(library.Load(path));
    auto version = reinterpret_cast<GetPluginVersionFunction>(library.Symbol("GetPluginVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version(), c.version);
    EXPECT_EQ(library.Symbol("GetPlugin") != nullptr, c.hasGetPlugin);
  }
}

TEST(StatusRecord, TipIsCutAtSixtyThreeCharacters) {
  StatusRecord empty = MakeStatusRecord(3, 145, -1, nullptr);
  EXPECT_EQ(empty.pluginId, 3);
  EXPECT_EQ(empty.command, -1);
  EXPECT_EQ(empty.icon, 145u);
  EXPECT_EQ(empty.tip[0], '\0');

  std::string exact(63, 'x');
  StatusRecord whole = MakeStatusRecord(0, 0, 3, exact.c_str());
  EXPECT_EQ(std::string(whole.tip), exact);

  std::string longer = exact + "Y";
  StatusRecord cut = MakeStatusRecord(0, 0, 3, longer.c_str());
  EXPECT_EQ(std::string(cut.tip), exact);
  EXPECT_EQ(cut.tip[63], '\0');

  // Little-endian bytes at the fixed offsets.
  StatusRecord record = MakeStatusRecord(0x01020304, 0x0A0B0C0D, 7, "tip");
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&record);
  EXPECT_EQ(bytes[0], 0x04);
  EXPECT_EQ(bytes[3], 0x01);
  EXPECT_EQ(bytes[4], 7);
  EXPECT_EQ(std::memcmp(bytes + 8, "tip", 4), 0);
  EXPECT_EQ(bytes[72], 0x0D);
  EXPECT_EQ(bytes[75], 0x0A);
}

TEST(HostMessages, PriorityMapsToCodeAndOutOfRangeRemoves) {
  EXPECT_EQ(StatusCodeForPriority(0), 2u);
  EXPECT_EQ(StatusCodeForPriority(1), 3u);
  EXPECT_EQ(StatusCodeForPriority(2), 4u);
  EXPECT_EQ(StatusCodeForPriority(7), 5u);
  EXPECT_EQ(StatusCodeForPriority(-1), 5u);
}

TEST(MenuIdentifiers, SplitIntoPluginAndCode) {
  EXPECT_EQ(PluginMenuId(3, 7), 0x307u);
  EXPECT_EQ(MenuIdPlugin(0x307), 3);
  EXPECT_EQ(MenuIdCode(0x307), 7);
  // Plugin 0, code 0 is indistinguishable from no choice.
  EXPECT_EQ(PluginMenuId(0, 0), 0u);
  // Plugin 255's codes 0xFC..0xFF collide with the host's own items.
  EXPECT_EQ(PluginMenuId(255, 0xFC), kMenuManagePlugins);
  EXPECT_EQ(PluginMenuId(255, 0xFF), kMenuExit);
}

TEST(PortableMenu, GrowsAndKeepsItemsInOrder) {
  PortableMenu* menu = CreatePortableMenu();
  ASSERT_NE(menu, nullptr);
  menu = AppendPortableMenuItem(menu, PluginMenuId(1, 3), "Settings...");
  menu = AppendPortableMenuItem(menu, 99, nullptr);
  menu = AppendPortableMenuItem(menu, PluginMenuId(1, 5), "Help");
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->count, 3u);
  EXPECT_STREQ(menu->items[0].text, "Settings...");
  EXPECT_EQ(menu->items[1].id, 0u);  // separators carry no identifier
  EXPECT_EQ(menu->items[2].id, 0x105u);
  DestroyPortableMenu(menu);
}

}  // namespace

namespace {

std::string last_tip;
int32_t RecordTip(int32_t, IconHandle, int32_t, int32_t, const char* text) {
  last_tip = text ? text : "";
  return 0;
}

// The host and each plugin keep their own settings store, even in one process.
TEST(PluginIsolation, PluginDoesNotShareTheLoadersSettings) {
  TempFolder folder;
  std::string settings = folder.File("RecordingPlugin.ini");
  // Forward slashes: the settings format reads a backslash before r or n as a
  // line break, and Windows temp paths can hold "\r" (C:\users\root).
  std::string record = folder.File("calls.txt");
  std::replace(record.begin(), record.end(), '\\', '/');
  ASSERT_TRUE(WriteFileText(settings,
                            std::string(dovetab::kHeader) + "RecordFile = \"" + record + "\"\r\n"));
  SetEnvironment("RECORDING_PLUGIN_SETTINGS", settings);
  SetString("Tip", "the loader's own tip", true);

  DynamicLibrary library;
  ASSERT_TRUE(library.Load(JoinPath(TestBinaryDir(), LibraryFileName("fixture_recording_plugin"))));
  auto get_plugin = reinterpret_cast<GetPluginFunction>(library.Symbol("GetPlugin"));
  ASSERT_NE(get_plugin, nullptr);
  Plugin* plugin = nullptr;
  get_plugin(&plugin);
  ASSERT_NE(plugin, nullptr);
  plugin->pluginId = 5;
  plugin->hostCallback = &RecordTip;
  plugin->Start();
  plugin->OnCommand(12);
  plugin->Stop();
  library.Release();

  EXPECT_EQ(last_tip, "Recording 5");
  EXPECT_EQ(GetString("Tip"), "the loader's own tip");
  EXPECT_EQ(GetString("RecordFile"), "");
  EXPECT_EQ(ReadFileText(record, 0), "start 5\ncommand 5 12\nreport 5 2 Recording 5\nstop 5\n");
  SetEnvironment("RECORDING_PLUGIN_SETTINGS", "");
  DestroySettings();
}

}  // namespace
