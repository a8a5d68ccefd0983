// Flattening of three-dimensional vertex objects through the real library.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "hostapp/builders.h"
#include "support/plugin_fixture.h"

using namespace hostapp;

namespace {

Attributes SomeAttributes() {
  Attributes a;
  a.wordA = 7;
  a.wordB = 3;
  a.longAttr = 42;
  a.record[0] = 1, a.record[1] = 2, a.record[2] = 3, a.record[3] = 4;
  a.flags[0] = 1, a.flags[2] = 1;
  a.group = 9;
  return a;
}

class Flatten : public PluginTest {};

TEST_F(Flatten, TwoVerticesBecomeALineWithTheOldClassAndAttributes) {
  const ClassId walls = host.ClassNamed("walls");
  const Attributes attr = SomeAttributes();
  checkPass(OnlyPass(0),
            {Line(9, 9, 8, 8), InClass(WithAttr(Poly3D({{1, 2, 3}, {4, 5, 6}}), attr), walls)},
            {Line(9, 9, 8, 8), InClass(WithAttr(Line(1, 2, 4, 5), attr), walls)});
}

struct FlattenCase {
  const char* name;
  Object input;
  Object expected;
  friend void PrintTo(const FlattenCase& c, std::ostream* os) { *os << c.name; }
};

class FlattenShapes : public PluginTest, public ::testing::WithParamInterface<FlattenCase> {};

TEST_P(FlattenShapes, BecomesAVertexListOfPlainCorners) {
  checkPass(OnlyPass(0), {GetParam().input}, {GetParam().expected});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlattenShapes,
    ::testing::Values(
        FlattenCase{"ClosedFour",
                    Poly3D({{0, 0, 1}, {4, 0, 2}, {4, 3, 3}, {0, 3, 4}}, true),
                    Polyline({{0, 0}, {4, 0}, {4, 3}, {0, 3}}, true)},
        FlattenCase{"OpenThree", Poly3D({{0, 0, 0}, {1, 1, 5}, {2, 0, -5}}),
                    Polyline({{0, 0}, {1, 1}, {2, 0}})},
        // No vertex is removed here, even one that now coincides with its neighbour.
        FlattenCase{"DifferOnlyInZ", Poly3D({{1, 1, 0}, {1, 1, 7}, {2, 2, 0}}),
                    Polyline({{1, 1}, {1, 1}, {2, 2}})},
        FlattenCase{"OneVertex", Poly3D({{3, 4, 5}}), Polyline({{3, 4}})},
        FlattenCase{"NoVertex", Poly3D({}, true), Polyline({}, true)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Flatten, ClosedStateAnsweredAsTwoIsTrue) {
  host.settings.trueValue = 2;
  checkPass(OnlyPass(0), {Poly3D({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, true)},
            {Polyline({{0, 0}, {1, 0}, {1, 1}}, true)});
}

TEST_F(Flatten, OtherObjectsOnlyHaveTheirTypeRead) {
  Load({Line(0, 0, 1, 1), Polyline({{0, 0}, {1, 0}, {1, 1}}), Arc(0, 0, 1, 0, 90),
        Point9(1, 2, 3), Box(4, 0, 1, 1, 0)});
  RunCommand(OnlyPass(0));
  const std::vector<std::string> expected = {"GetObjectType(1)", "GetObjectType(2)",
                                             "GetObjectType(3)", "GetObjectType(4)",
                                             "GetObjectType(5)"};
  EXPECT_EQ(TraversalCalls(host, 0), expected);
}

TEST_F(Flatten, OldObjectIsDeletedOnTheSpotAfterTheAttributesAreCopied) {
  Load({Poly3D({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}})});
  RunCommand(OnlyPass(0));
  const std::vector<std::string> calls = TraversalCalls(host, 0);
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back(), "DeleteObject(1, 0)");
  const auto reset = std::find(calls.begin(), calls.end(), "ResetObject(2)");
  const auto copy = std::find(calls.begin(), calls.end(), "CopyObjectAttributes(2, 1)");
  EXPECT_NE(reset, calls.end());
  EXPECT_LT(reset, copy);
}

// Without a replacement the old object must stay rather than vanish.
TEST_F(Flatten, FailedCreationKeepsTheOldObject) {
  host.settings.createLineFails = true;
  host.settings.createPolylineFails = true;
  checkNoChange(OnlyPass(0), {Poly3D({{1, 2, 3}, {4, 5, 6}}),
                              Poly3D({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, true)});
}

TEST_F(Flatten, MissingCreationRoutinesKeepTheOldObject) {
  host.SetMissing(kSelCreateLine);
  host.SetMissing(kSelCreatePolyline);
  checkNoChange(OnlyPass(0), {Poly3D({{1, 2, 3}, {4, 5, 6}}), Poly3D({{0, 0, 0}})});
}

}  // namespace
