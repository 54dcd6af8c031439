// "Settings..." on a build without a window tells the user what to do instead.
#include <gtest/gtest.h>

#include <string>

#include "foundation/paths.h"
#include "tests/orvihttp/plugin/loaded_server_plugin.h"

TEST(ServerPluginCommands, SettingsNamesTheIniFileAndTheDirectoryTool) {
  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  server.WriteIni({"FirstTime = No"});
  server.Start();
  testing::internal::CaptureStderr();
  server.plugin()->OnCommand(3);
  const std::string said = testing::internal::GetCapturedStderr();
  server.Stop();

  EXPECT_NE(said.find("no settings window"), std::string::npos) << said;
  EXPECT_NE(said.find(" " + JoinPath(server.folder().path(), "OrviHTTP.ini") + " "),
            std::string::npos)
      << said;
  EXPECT_NE(said.find("orvihttp-dir"), std::string::npos) << said;
  EXPECT_EQ(said.back(), '\n');
}
