// A growing drawing: the host keeps every object where it was, so what a
// routine or a caller holds stays valid while objects are added, and handles
// keep naming the same objects in order.
#include <gtest/gtest.h>

#include <vector>

#include "hostapp/builders.h"
#include "hostapp/host.h"

using namespace hostapp;

namespace {

constexpr int kGrowth = 5000;  // far past any first allocation of the store

TEST(HostGrowth, ObjectsHeldByReferenceSurviveGrowth) {
  Host host;
  const ObjectHandle first = host.Add(Line(1, 2, 3, 4));
  const Object& held = host.Get(first);
  Object& edited = host.Edit(first);
  for (int i = 0; i < kGrowth; ++i) host.Add(Line(i, 0, i + 1, 0));
  // Read and written after the store grew (a moved store would leave these
  // dangling, which the sanitizer build reports).
  edited.first = Pt(7, 8);
  EXPECT_EQ(held.first.x, 7);
  EXPECT_EQ(held.second.y, 4);
  EXPECT_EQ(host.Get(first).first.y, 8);
}

TEST(HostGrowth, HandlesAndOrderHoldThroughGrowthAndRemoval) {
  Host host;
  std::vector<ObjectHandle> kept;
  for (int i = 0; i < kGrowth; ++i) {
    const ObjectHandle h = host.Add(Line(i, 0, i, 1));
    if (i % 3 == 0) host.Remove(h);
    else kept.push_back(h);
  }
  EXPECT_EQ(host.Objects(), kept);
  EXPECT_EQ(host.ObjectCount(), kept.size());
  for (ObjectHandle h : kept) EXPECT_EQ(host.Get(h).first.x, host.Get(h).second.x) << h;
}

}  // namespace
