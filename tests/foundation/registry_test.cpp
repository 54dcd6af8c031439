#include "foundation/registry.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// A product key of its own per test, so runs in a kept Wine prefix never see
// each other's values.
std::string FreshProduct(const std::string& label) {
  std::random_device random;
  return "Orvi Test " + label + " " + std::to_string(random()) + std::to_string(random());
}

TEST(Registry, MissingKeyReadsEmptyThenSetCreatesIt) {
  std::string product = FreshProduct("Create");
  EXPECT_EQ(RegistryGet(product, "Path"), "");
  RegistrySet(product, "Path", "C:\\Orvi\\Plugins\\Orvi HTTP Server");
  EXPECT_EQ(RegistryGet(product, "Path"), "C:\\Orvi\\Plugins\\Orvi HTTP Server");
  EXPECT_EQ(RegistryGet(product, "Other"), "");
}

TEST(Registry, ValuesAreOverwrittenAndKeptApart) {
  std::string first = FreshProduct("First");
  std::string second = FreshProduct("Second");
  RegistrySet(first, "Path", "one");
  RegistrySet(second, "Path", "two");
  RegistrySet(first, "Extra", "three");
  RegistrySet(first, "Path", "four");
  EXPECT_EQ(RegistryGet(first, "Path"), "four");
  EXPECT_EQ(RegistryGet(first, "Extra"), "three");
  EXPECT_EQ(RegistryGet(second, "Path"), "two");
  RegistrySet(first, "Path", "a much longer value than before");
  RegistrySet(first, "Path", "short");
  EXPECT_EQ(RegistryGet(first, "Path"), "short");
}

TEST(Registry, TextIsStoredUpToItsNul) {
  std::string product = FreshProduct("Nul");
  RegistrySet(product, "Path", std::string("before\0after", 12));
  EXPECT_EQ(RegistryGet(product, "Path"), "before");
  RegistrySet(product, "Path", "");
  EXPECT_EQ(RegistryGet(product, "Path"), "");
}

// The read buffer holds 260 bytes including the NUL.
TEST(Registry, LongValuesReadAsEmpty) {
  std::string product = FreshProduct("Long");
  std::string fits(259, 'p');
  fits[0] = 'C';
  RegistrySet(product, "Fits", fits);
  EXPECT_EQ(RegistryGet(product, "Fits"), fits);
  RegistrySet(product, "NoRoomForNul", std::string(260, 'q'));
  EXPECT_EQ(RegistryGet(product, "NoRoomForNul"), "");
  RegistrySet(product, "TooLong", std::string(300, 'r'));
  EXPECT_EQ(RegistryGet(product, "TooLong"), "");
  // A long value can be replaced by one that fits.
  RegistrySet(product, "TooLong", "fine");
  EXPECT_EQ(RegistryGet(product, "TooLong"), "fine");
}

}  // namespace
