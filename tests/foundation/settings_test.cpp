#include "foundation/settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "foundation/dovetab.h"
#include "foundation/file_text.h"
#include "tests/support/test_support.h"

namespace {

const std::string kHead = "# Dovetab v2\r\n\r\n";

class SettingsTest : public testing::Test {
 protected:
  void SetUp() override { DestroySettings(); }
  void TearDown() override { DestroySettings(); }
};

std::vector<std::string> Names(const std::vector<Setting>& entries) {
  std::vector<std::string> names;
  for (const Setting& entry : entries) names.push_back(entry.name);
  return names;
}

TEST_F(SettingsTest, MissingAndNullNamesGiveDefaults) {
  EXPECT_EQ(GetInt("Port"), 0);
  EXPECT_FALSE(GetBool("Active"));
  EXPECT_EQ(GetString("LogPath"), "");
  SetInt(nullptr, 5, true);
  SetBool(nullptr, true, true);
  SetString(nullptr, "x", true);
  EXPECT_TRUE(AllSettings().empty());
  SetInt("Port", 80, true);
  EXPECT_EQ(GetInt(nullptr), 0);
  EXPECT_FALSE(GetBool(nullptr));
  EXPECT_EQ(GetString(nullptr), "");
}

TEST_F(SettingsTest, NamesAreCaseSensitiveWholeNames) {
  SetInt("Port", 80, true);
  EXPECT_EQ(GetInt("Port"), 80);
  EXPECT_EQ(GetInt("port"), 0);
  EXPECT_EQ(GetInt("Por"), 0);
  EXPECT_EQ(GetInt("Port2"), 0);
}

TEST_F(SettingsTest, TypeChangeResetsTheOtherFields) {
  SetInt("Key", 42, true);
  EXPECT_EQ(GetInt("Key"), 42);
  EXPECT_FALSE(GetBool("Key"));
  SetString("Key", "text", true);
  EXPECT_EQ(GetInt("Key"), 0);
  EXPECT_EQ(GetString("Key"), "text");
  SetBool("Key", true, true);
  EXPECT_EQ(GetString("Key"), "");
  EXPECT_TRUE(GetBool("Key"));
  SetInt("Key", 7, true);
  EXPECT_FALSE(GetBool("Key"));

  std::vector<Setting> all = AllSettings();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].type, Setting::Type::Int);
  EXPECT_EQ(all[0].intValue, 7);
  EXPECT_FALSE(all[0].boolValue);
  EXPECT_EQ(all[0].stringValue, "");
}

TEST_F(SettingsTest, InsertionOrderAndLatestPersistentFlag) {
  SetInt("B", 1, false);
  SetInt("A", 2, true);
  SetString("C", "c", true);
  SetInt("B", 3, true);
  SetInt("A", 4, false);
  std::vector<Setting> all = AllSettings();
  EXPECT_EQ(Names(all), (std::vector<std::string>{"B", "A", "C"}));
  EXPECT_TRUE(all[0].persistent);
  EXPECT_FALSE(all[1].persistent);
  EXPECT_EQ(SaveSettingsText(), kHead + "B = 3\r\nC = \"c\"\r\n");
}

TEST_F(SettingsTest, EmptyStoreSavesOnlyTheHeader) {
  EXPECT_EQ(SaveSettingsText(), kHead);
  SetString("InstallPath", "/opt/orvi", false);
  EXPECT_EQ(SaveSettingsText(), kHead);
  LoadSettingsText(kHead);
  EXPECT_EQ(AllSettings().size(), 1u);
}

TEST_F(SettingsTest, FileTextRoundTripsByteForByte) {
  const std::string text = kHead +
                           "FirstTime = No\r\n"
                           "Port = 8080\r\n"
                           "MaxUsers = -1\r\n"
                           "LogPath = \"C:\\Program Files\\Orvi\\OrviHTTP.log\"\r\n"
                           "Banner = \"say \\\"hi\\\"\\r\\nbye\"\r\n"
                           "Active = Yes\r\n";
  TempFolder folder;
  std::string path = folder.File("OrviHTTP.ini");
  ASSERT_TRUE(WriteFileText(path, text));
  LoadSettingsText(ReadFileText(path, 0));
  EXPECT_EQ(GetInt("Port"), 8080);
  EXPECT_EQ(GetString("Banner"), "say \"hi\"\r\nbye");
  ASSERT_TRUE(WriteFileText(path, SaveSettingsText()));
  EXPECT_EQ(ReadFileText(path, 0), text);
}

TEST_F(SettingsTest, LoadChangesTypesAndMakesEntriesPersistent) {
  SetInt("Active", 1, true);
  SetString("Port", "eighty", false);
  LoadSettingsText(kHead + "Active = Yes\r\nPort = 80\r\n");
  EXPECT_TRUE(GetBool("Active"));
  EXPECT_EQ(GetInt("Active"), 0);
  EXPECT_EQ(GetInt("Port"), 80);
  EXPECT_EQ(GetString("Port"), "");
  for (const Setting& entry : AllSettings()) EXPECT_TRUE(entry.persistent) << entry.name;
}

TEST_F(SettingsTest, LaterLineOfTheSameNameWins) {
  LoadSettingsText(kHead + "Key = 1\r\nOther = 2\r\nKey = \"last\"\r\n");
  EXPECT_EQ(GetString("Key"), "last");
  EXPECT_EQ(GetInt("Key"), 0);
  EXPECT_EQ(Names(AllSettings()), (std::vector<std::string>{"Key", "Other"}));
}

TEST_F(SettingsTest, NonPersistentSetAfterLoadKeepsKeyOutOfSave) {
  SetInt("Port", 80, true);
  SetBool("Log", true, true);
  LoadSettingsText(kHead + "Port = 8080\r\nLog = No\r\n");
  SetInt("Port", 9090, false);
  EXPECT_EQ(SaveSettingsText(), kHead + "Log = No\r\n");
  EXPECT_EQ(GetInt("Port"), 9090);
}

TEST_F(SettingsTest, UnknownKeysKeepTheirPlaceAcrossSave) {
  SetBool("FirstTime", true, true);
  SetInt("Port", 80, true);
  SetString("InstallPath", "/srv", false);
  LoadSettingsText(kHead + "Legacy = \"old\"\r\nPort = 81\r\nFuture = 3\r\nFirstTime = No\r\n");
  EXPECT_EQ(SaveSettingsText(), kHead +
                                    "FirstTime = No\r\n"
                                    "Port = 81\r\n"
                                    "Legacy = \"old\"\r\n"
                                    "Future = 3\r\n");
  EXPECT_EQ(GetString("InstallPath"), "/srv");
}

TEST_F(SettingsTest, TextWithoutHeaderTouchesNothing) {
  SetInt("Port", 80, true);
  LoadSettingsText("Port = 81\r\n");
  LoadSettingsText("# Dovetab v2\n\nPort = 82\n");
  LoadSettingsText("");
  EXPECT_EQ(GetInt("Port"), 80);
  EXPECT_EQ(AllSettings().size(), 1u);
}

TEST_F(SettingsTest, MissingFileKeepsDefaults) {
  TempFolder folder;
  SetInt("Port", 80, true);
  LoadSettingsText(ReadFileText(folder.File("absent.ini"), 0));
  EXPECT_EQ(GetInt("Port"), 80);
}

TEST_F(SettingsTest, ApplySettingsSetsOnlyPersistentEntries) {
  SetInt("Port", 80, false);
  SetString("LogPath", "a.log", true);
  SetBool("Untouched", true, false);

  std::vector<Setting> edited = AllSettings();
  edited[0].intValue = 8080;
  edited[0].persistent = true;
  edited[1].stringValue = "b.log";
  edited[1].persistent = false;  // skipped
  edited.erase(edited.begin() + 2);
  Setting fresh;
  fresh.name = "New";
  fresh.type = Setting::Type::Bool;
  fresh.boolValue = true;
  fresh.persistent = true;
  edited.push_back(fresh);
  Setting retyped;
  retyped.name = "LogPath";
  retyped.type = Setting::Type::Int;
  retyped.intValue = 3;
  retyped.persistent = true;
  edited.push_back(retyped);
  ApplySettings(edited);

  std::vector<Setting> all = AllSettings();
  EXPECT_EQ(Names(all), (std::vector<std::string>{"Port", "LogPath", "Untouched", "New"}));
  EXPECT_EQ(GetInt("Port"), 8080);
  EXPECT_TRUE(all[0].persistent);
  EXPECT_EQ(GetInt("LogPath"), 3);
  EXPECT_EQ(GetString("LogPath"), "");
  EXPECT_TRUE(GetBool("Untouched"));
  EXPECT_FALSE(all[2].persistent);
  EXPECT_TRUE(GetBool("New"));
}

TEST_F(SettingsTest, AllSettingsIsACopy) {
  SetString("Key", "before", true);
  std::vector<Setting> copy = AllSettings();
  copy[0].stringValue = "changed";
  EXPECT_EQ(GetString("Key"), "before");
  SetString("Key", "after", true);
  EXPECT_EQ(copy[0].stringValue, "changed");
}

TEST_F(SettingsTest, DestroyStartsAnEmptyStore) {
  SetInt("Port", 80, true);
  DestroySettings();
  EXPECT_EQ(GetInt("Port"), 0);
  EXPECT_TRUE(AllSettings().empty());
  DestroySettings();
  DestroySettings();
  SetInt("Port", 81, true);
  EXPECT_EQ(GetInt("Port"), 81);
}

// Writers of private keys, a loader swapping two keys that always change
// together, and readers that must never see half a load.
TEST_F(SettingsTest, ConcurrentUseStaysConsistent) {
  constexpr int kWriters = 4;
  constexpr int kKeys = 200;
  constexpr int kLoads = 300;
  std::atomic<bool> loading{true};
  std::atomic<int> mismatches{0};
  std::atomic<int> torn{0};

  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([w, &mismatches] {
      for (int k = 0; k < kKeys; ++k) {
        std::string name = "W" + std::to_string(w) + "_" + std::to_string(k);
        SetInt(name.c_str(), k * 10 + w, true);
        SetString(("S" + name).c_str(), name, false);
        if (GetInt(name.c_str()) != k * 10 + w) ++mismatches;
        if (GetString(("S" + name).c_str()) != name) ++mismatches;
      }
    });
  }
  threads.emplace_back([&loading] {
    for (int n = 0; n < kLoads; ++n) {
      std::string value = std::to_string(n);
      LoadSettingsText(kHead + "P = " + value + "\r\nQ = " + value + "\r\n");
    }
    loading = false;
  });
  threads.emplace_back([&loading, &torn] {
    while (loading) {
      int p = -1;
      int q = -1;
      dovetab::Parse(SaveSettingsText(), [&](const Setting& entry) {
        if (entry.name == "P") p = entry.intValue;
        if (entry.name == "Q") q = entry.intValue;
      });
      if (p != q) ++torn;
      p = q = -1;
      for (const Setting& entry : AllSettings()) {
        if (entry.name == "P") p = entry.intValue;
        if (entry.name == "Q") q = entry.intValue;
      }
      if (p != q) ++torn;
    }
  });
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(torn, 0);
  std::vector<Setting> all = AllSettings();
  EXPECT_EQ(all.size(), static_cast<size_t>(kWriters * kKeys * 2 + 2));
  for (int w = 0; w < kWriters; ++w) {
    for (int k = 0; k < kKeys; ++k) {
      std::string name = "W" + std::to_string(w) + "_" + std::to_string(k);
      EXPECT_EQ(GetInt(name.c_str()), k * 10 + w) << name;
    }
  }
  EXPECT_EQ(GetInt("P"), kLoads - 1);
  EXPECT_EQ(GetInt("Q"), kLoads - 1);
}

}  // namespace
