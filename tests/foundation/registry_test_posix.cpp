#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "foundation/file_system.h"
#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "foundation/registry.h"
#include "tests/support/test_support.h"

namespace {

// Points the registry substitute at a private folder for one test.
class RegistryFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    savedConfig_ = config ? config : "";
    savedHome_ = home ? home : "";
    SetEnvironment("XDG_CONFIG_HOME", folder_.path());
  }
  void TearDown() override {
    SetEnvironment("XDG_CONFIG_HOME", savedConfig_);
    SetEnvironment("HOME", savedHome_);
  }
  std::string ValueFile(const std::string& product, const std::string& value) const {
    return folder_.path() + "/Quintarvo/" + product + "/" + value;
  }

  TempFolder folder_;
  std::string savedConfig_;
  std::string savedHome_;
};

TEST_F(RegistryFolderTest, OneFilePerValueWithFoldersCreated) {
  RegistrySet("Orvi HTTP Server", "Path", "/opt/orvi/Plugins/Orvi HTTP Server");
  EXPECT_EQ(ReadFileText(ValueFile("Orvi HTTP Server", "Path"), 0),
            "/opt/orvi/Plugins/Orvi HTTP Server");
  // Nothing but the value file is left behind.
  EXPECT_FALSE(IsFile(ValueFile("Orvi HTTP Server", "Path") + ".new" + std::to_string(getpid())));
}

TEST_F(RegistryFolderTest, ConfigFolderIsCreatedWhenMissing) {
  std::string nested = folder_.path() + "/deeper/config";
  SetEnvironment("XDG_CONFIG_HOME", nested);
  RegistrySet("Trellan", "Path", "/opt/orvi");
  EXPECT_EQ(ReadFileText(nested + "/Quintarvo/Trellan/Path", 0), "/opt/orvi");
}

TEST_F(RegistryFolderTest, HomeConfigIsTheFallback) {
  SetEnvironment("XDG_CONFIG_HOME", "");
  SetEnvironment("HOME", folder_.path());
  RegistrySet("Trellan", "Path", "/home/user/orvi");
  EXPECT_EQ(ReadFileText(folder_.path() + "/.config/Quintarvo/Trellan/Path", 0), "/home/user/orvi");
  EXPECT_EQ(RegistryGet("Trellan", "Path"), "/home/user/orvi");
}

TEST_F(RegistryFolderTest, HandWrittenFilesFollowTheBufferLimit) {
  ASSERT_TRUE(CreateFolder(folder_.path() + "/Quintarvo"));
  ASSERT_TRUE(CreateFolder(folder_.path() + "/Quintarvo/Trellan"));
  ASSERT_TRUE(WriteFileText(ValueFile("Trellan", "Path"), std::string(259, 'a')));
  EXPECT_EQ(RegistryGet("Trellan", "Path"), std::string(259, 'a'));
  ASSERT_TRUE(WriteFileText(ValueFile("Trellan", "Path"), std::string(260, 'a')));
  EXPECT_EQ(RegistryGet("Trellan", "Path"), "");
  std::ofstream(ValueFile("Trellan", "Path"), std::ios::binary | std::ios::trunc)
      .write("/opt\0junk", 9);
  EXPECT_EQ(RegistryGet("Trellan", "Path"), "/opt");
  // A folder where the value should be reads as missing.
  ASSERT_TRUE(CreateFolder(ValueFile("Trellan", "Folder")));
  EXPECT_EQ(RegistryGet("Trellan", "Folder"), "");
}

TEST_F(RegistryFolderTest, NamesCannotLeaveTheProductFolder) {
  RegistrySet("Trellan", "../escape", "x");
  RegistrySet("..", "Path", "x");
  RegistrySet("a/b", "Path", "x");
  RegistrySet("", "Path", "x");
  RegistrySet("Trellan", "", "x");
  EXPECT_FALSE(IsFile(folder_.path() + "/Quintarvo/escape"));
  EXPECT_FALSE(IsFile(folder_.path() + "/Path"));
  EXPECT_FALSE(IsFolder(folder_.path() + "/Quintarvo/a"));
  EXPECT_EQ(RegistryGet("Trellan", "../Trellan/Path"), "");
  EXPECT_EQ(RegistryGet("..", "Path"), "");
}

}  // namespace
