// The host's drawing: handles, order and classes.
#include <gtest/gtest.h>

#include "hostapp/builders.h"
#include "hostapp/host.h"

using namespace hostapp;

namespace {

TEST(Drawing, HandlesCountFromOneAndAreNeverReused) {
  Host host;
  ObjectHandle a = host.Add(Line(0, 0, 1, 0));
  ObjectHandle b = host.Add(Line(1, 0, 2, 0));
  EXPECT_EQ(a, 1u);
  EXPECT_EQ(b, 2u);
  host.Remove(b);
  EXPECT_EQ(host.Add(Point17(0, 0)), 3u);
  EXPECT_FALSE(host.Alive(b));
  EXPECT_EQ(host.Objects(), (std::vector<ObjectHandle>{a, 3}));
}

}  // namespace
