// Removal of objects no larger than the size tolerance, through the real
// library and host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

#include "hostapp/builders.h"
#include "support/plugin_fixture.h"

using namespace hostapp;

namespace {

constexpr double kTol = 0.0001;  // the default size tolerance, world scale 1
const double kNaN = std::nan("");

Object EmptyBox(int16_t type) { return Box(type, DBL_MAX, -DBL_MAX, -DBL_MAX, DBL_MAX); }

struct Case {
  const char* name;
  Object object;
  bool removed;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const Case kCases[] = {
    // Limits are inclusive, and both sizes must be small.
    {"BoxExactlyAtTolerance", Box(3, 0, kTol, kTol, 0), true},
    {"LineExactlyAtTolerance", Line(0, 0, kTol, kTol), true},
    {"WiderThanToleranceZeroHeight", Line(0, 0, kTol * 1.1, 0), false},
    {"TallerThanToleranceZeroWidth", Line(5, 5, 5, 5 + kTol * 1.1), false},
    {"OrdinaryLine", Line(0, 0, 10, 3), false},
    // Point-sized objects of every kind but 9 and 17 go.
    {"PointSizedLine", Line(1, 1, 1, 1), true},
    {"PointSizedArc", Arc(4, 4, 0, 0, 90), true},
    {"PointSizedPolyline", Polyline({{2, 2}, {2, 2}, {2, 2}}), true},
    {"PointSized3DPolyline", Poly3D({{1, 1, 0}, {1, 1, 9}}), true},
    {"PointSizedFace15", Face15({1, 1, 0}, {1, 1, 1}, {1, 1, 2}, {1, 1, 3}), true},
    {"PointSizedType10", Box10(3, 3, 3, 3, 7), true},
    {"PointSizedType30", Box(30, 3, 3, 3, 3), true},
    {"Type17Stays", Point17(1, 1), false},
    {"Type9Stays", Point9(1, 1, 1), false},
    // Bounds that say nothing about the object keep it.
    {"EmptyBoundsStay", EmptyBox(3), false},
    {"PolylineWithoutVerticesStays", Polyline({}), false},
    {"InvertedBoundsStay", Box(3, 0, 0, 0, 1), false},
};

class DegenerateCase : public PluginTest, public ::testing::WithParamInterface<Case> {};

TEST_P(DegenerateCase, RemovedOnlyWhenNoLargerThanTolerance) {
  const Case& c = GetParam();
  // A normal line before and after: neighbours are not disturbed.
  const Object before = Line(-5, -5, 5, 5), after = Line(0, 0, 0, 7);
  if (c.removed)
    checkPass(OnlyPass(1), {before, c.object, after}, {before, after});
  else
    checkNoChange(OnlyPass(1), {before, c.object, after});
}

INSTANTIATE_TEST_SUITE_P(Objects, DegenerateCase, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

class Degenerate : public PluginTest {
 protected:
  // The routines the pass itself called: those between the pass's traversal
  // and the final sweep's.
  std::vector<std::string> PassCalls() const {
    const std::vector<std::string> all = host.CallNames();
    auto first = std::find(all.begin(), all.end(), "ForEachObject");
    if (first == all.end()) return {};
    auto last = std::find(first + 1, all.end(), "ForEachObject");
    return {first + 1, last};
  }
};

TEST_F(Degenerate, DefaultOptionsRemovePointSizedObjects) {
  checkPass(
      Options{},
      {Line(1, 1, 1, 1), Point17(2, 2), Line(0, 0, 4, 4), Point9(0, 0, 0), Box(3, 1, 1, 1, 1)},
      {Point17(2, 2), Line(0, 0, 4, 4), Point9(0, 0, 0)});
}

TEST_F(Degenerate, FlagOffKeepsPointSizedObjects) {
  Options options;
  options.flags[1] = 0;
  checkNoChange(options, {Line(1, 1, 1, 1), Box(3, 1, 1, 1, 1)});
}

TEST_F(Degenerate, ToleranceIsConvertedToWorldUnits) {
  // 0.0001 user units are 0.001 world units at scale 10.
  host.settings.worldScale = 10;
  checkPass(OnlyPass(1), {Line(0, 0, 0.0009, 0.0009), Line(0, 0, 0.0011, 0)},
            {Line(0, 0, 0.0011, 0)});
}

TEST_F(Degenerate, LargerToleranceRemovesLargerObjects) {
  Options options = OnlyPass(1);
  options.tolerance2 = 2;
  checkPass(options, {Line(0, 0, 2, 2), Line(0, 0, 2.5, 0), Arc(0, 0, 1, 0, 360)},
            {Line(0, 0, 2.5, 0)});
}

TEST_F(Degenerate, DeletesWithFlagFalseAndReadsNoBoundsOfTypes9And17) {
  Load({Point17(0, 0), Point9(0, 0, 0), Line(1, 1, 1, 1)});
  ASSERT_EQ(RunCommand(OnlyPass(1)), 0);
  EXPECT_EQ(PassCalls(),
            (std::vector<std::string>{"GetObjectType", "GetObjectType", "GetObjectType",
                                      "GetObjectBounds", "DeleteObject"}));
  const std::vector<std::string> texts = host.CallTexts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "DeleteObject(3, 0)"), texts.end());
}

TEST_F(Degenerate, NaNEdgeKeepsTheObject) {
  // Compared by handle: the drawing comparison cannot see NaN as equal.
  const std::vector<ObjectHandle> h =
      Load({Box(3, 0, kNaN, 0, 0), Box(4, kNaN, 0, 0, 0), Line(0, 0, 0, 0)});
  ASSERT_EQ(RunCommand(OnlyPass(1)), 0);
  EXPECT_TRUE(host.Alive(h[0]));
  EXPECT_TRUE(host.Alive(h[1]));
  EXPECT_FALSE(host.Alive(h[2]));
}

TEST_F(Degenerate, HostWithoutBoundsKeepsEverything) {
  host.SetMissing(kSelGetObjectBounds);
  checkNoChange(OnlyPass(1), {Line(1, 1, 1, 1), Box(3, 1, 1, 1, 1), Polyline({{2, 2}, {2, 2}})});
}

TEST_F(Degenerate, HostWithoutTypesStillJudgesBySize) {
  // A missing GetObjectType reads as type 0, which is not spared.
  host.SetMissing(kSelGetObjectType);
  checkPass(OnlyPass(1), {Point17(1, 1), Line(0, 0, 3, 3)}, {Line(0, 0, 3, 3)});
}

}  // namespace
