// One command through the real library with the default options.
#include <gtest/gtest.h>

#include "support/plugin_fixture.h"

namespace {

class Smoke : public PluginTest {};

TEST_F(Smoke, DefaultsOnAnEmptyDrawingRunCleanly) {
  EXPECT_EQ(RunCommand(Options{}), 0);
  EXPECT_EQ(host.ObjectCount(), 0u);
  EXPECT_TRUE(host.UpdatesOn());
}

}  // namespace
