// Every test program keeps its registry substitute and settings in a private
// folder, so no test ever touches the user's own configuration.
#include <gtest/gtest.h>

#include "foundation/paths.h"
#include "tests/support/test_support.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  TempFolder config;
  SetEnvironment("XDG_CONFIG_HOME", config.path());
  return RUN_ALL_TESTS();
}
