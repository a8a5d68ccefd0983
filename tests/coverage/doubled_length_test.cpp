// The doubled-length measure on hand-made drawings: what it must count as
// drawn twice (copies, near copies, retraced stretches, overlapping arcs) and
// what it must not (corners, joints, crossings, a circle, copies too far apart).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <random>
#include <vector>

#include "coverage/doubled_length.h"
#include "hostapp/builders.h"
#include "hostapp/geometry.h"

using namespace hostapp;

namespace {

constexpr double kTol = 0.01;

struct Case {
  const char* name;
  std::vector<Object> drawn;
  double doubled;  // the length the measure must give
  double within;   // how near (the ends of a stretch are judged within the tolerance)
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

Object Converted(const Object& arc) {
  Object o;
  o.type = kCurvedVertexListType;
  o.vertices = ArcToVertices(arc);
  return o;
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kQuarter = M_PI * 10 / 2;  // a quarter of a circle of radius 10

const Case kCases[] = {
    // Copies.
    {"TwoCopies", {Line(0, 0, 10, 0), Line(0, 0, 10, 0)}, 10, 1e-6},
    {"TwoCopiesReversed", {Line(0, 0, 10, 0), Line(10, 0, 0, 0)}, 10, 1e-6},
    {"ThreeCopies", {Line(0, 0, 10, 0), Line(10, 0, 0, 0), Line(0, 0, 10, 0)}, 20, 1e-6},
    {"CopyHalfATolerranceApart", {Line(0, 0, 10, 0), Line(0, 0.5 * kTol, 10, 0.5 * kTol)}, 10, 1e-6},
    {"CopyTwoTolerancesApart", {Line(0, 0, 10, 0), Line(0, 2 * kTol, 10, 2 * kTol)}, 0, 1e-9},
    {"CopyWithNoisyEnds", {Line(0, 0, 10, 0), Line(1e-7, -1e-7, 10 - 1e-7, 1e-7)}, 10, 1e-5},
    {"PartlyOverlapping", {Line(0, 0, 5, 0), Line(3, 0, 10, 0)}, 2, 1e-6},
    {"LineAlongAPolylineEdge", {Polyline({{0, 0}, {10, 0}, {10, 10}}), Line(2, 0, 8, 0)}, 6, 1e-6},
    {"PolylineEdgeAlongALine", {Line(2, 0, 8, 0), Polyline({{0, 0}, {10, 0}, {10, 10}})}, 6, 1e-6},
    {"OutlinesSharingAnEdge",
     {Polyline({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, true), Polyline({{10, 0}, {20, 0}, {20, 10}, {10, 10}}, true)},
     10, 1e-6},
    // One object running back over itself.
    {"HairpinPolyline", {Polyline({{0, 0}, {10, 0}, {0, 0}})}, 10, 2 * kTol},
    {"HairpinWithinAPath", {Polyline({{0, 5}, {0, 0}, {10, 0}, {4, 0}, {4, -5}})}, 6, 2 * kTol},
    {"RunsOnAlongItsOwnStart",
     {Polyline({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0.5 * kTol}, {10, 0.5 * kTol}})}, 10, 2 * kTol},
    // Drawn once: nothing.
    {"ClosedSquare", {Polyline({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, true)}, 0, 1e-9},
    {"SquareOfFourLines", {Line(0, 0, 10, 0), Line(10, 10, 10, 0), Line(10, 10, 0, 10), Line(0, 0, 0, 10)}, 0, 1e-9},
    {"LineInPiecesAnyWay", {Line(0, 0, 3, 0), Line(7, 0, 3, 0), Line(7, 0, 10, 0)}, 0, 1e-9},
    {"TJunction", {Line(0, 0, 10, 0), Line(5, 0, 5, 5)}, 0, 1e-9},
    {"Crossing", {Line(0, 0, 10, 0), Line(5, -5, 5, 5)}, 0, 1e-9},
    {"Circle", {Arc(0, 0, 10, 0, 360)}, 0, 1e-9},
    {"SmallCircle", {Arc(0, 0, 2 * kTol, 0, 360)}, 0, 1e-9},
    {"RoundedSlot",
     {Polyline({{0, 0}, {10, 0, kArcVertex, 1}, {10, 2, kArcVertex, 1}, {0, 2, kArcVertex, 1}, {0, 0, kArcVertex, 1}},
               true, kCurvedVertexListType)},
     0, 1e-9},
    // An arc meeting a line at a corner: its last chord comes in a little off
    // the tangent, so the corner is a hair under a right angle.
    {"DoorSwing", {Polyline({{0.9, 0}, {0.9, 0.9, kArcVertex, 0.9}, {0, 0.9}, {0, 0}}, false, kCurvedVertexListType)},
     0, 1e-9},
    {"FullTurnWrittenLong", {Arc(0, 0, 10, 30, 360.0000000001)}, 0, 1e-9},
    // Curves.
    {"ArcsOverlappingOnOneCircle", {Arc(0, 0, 10, 0, 180), Arc(0, 0, 10, 90, 180)}, kQuarter, 2 * kTol},
    {"CircleThenItsHalves", {Arc(0, 0, 10, 0, 360), Arc(0, 0, 10, 0, 180), Arc(0, 0, 10, 180, 180)},
     4 * kQuarter, 2 * kTol},
    {"HalvesThenTheCircle", {Arc(0, 0, 10, 90, 180), Arc(0, 0, 10, 270, 180), Arc(0, 0, 10, 0, 360)},
     4 * kQuarter, 2 * kTol},
    {"CircleAndItsArcVertices", {Arc(3, 4, 10, 0, 360), Converted(Arc(3, 4, 10, 0, 360))}, 4 * kQuarter, 2 * kTol},
    {"ConcentricCirclesApart", {Arc(0, 0, 10, 0, 360), Arc(0, 0, 10 + 2 * kTol, 0, 360)}, 0, 1e-9},
    // What cannot be measured is left out, not guessed.
    {"NaNEndLeftOut", {Line(0, 0, 10, 0), Line(0, 0, kNaN, 0)}, 0, 1e-9},
    {"PastMeasuringLeftOut", {Line(0, 0, 1e300, 0), Line(0, 0, 1e300, 0)}, 0, 1e-9},
    {"HugeButMeasurable", {Line(-1e99, 0, 1e99, 0), Line(1e99, 0, -1e99, 0)}, 2e99, 1e90},
    {"NothingDrawn", {}, 0, 1e-9},
    {"PointsOnly", {Point17(1, 1), Point17(1, 1)}, 0, 1e-9},
};

class DoubledCase : public ::testing::TestWithParam<Case> {};

TEST_P(DoubledCase, MeasuresWhatIsDrawnTwice) {
  const Case& c = GetParam();
  const coverage::Doubled d = coverage::MeasureDoubled(c.drawn, kTol);
  EXPECT_NEAR(d.length, c.doubled, c.within);
  EXPECT_TRUE(d.complete);
  double sum = 0;
  for (const coverage::Stretch& s : d.stretches) sum += s.length;
  EXPECT_NEAR(sum, d.length, 1e-9);
  EXPECT_EQ(d.stretches.empty(), c.doubled == 0);
}

INSTANTIATE_TEST_SUITE_P(Drawings, DoubledCase, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DoubledLength, NamesTheLaterCopyAndWhere) {
  const auto d = coverage::MeasureDoubled({Line(0, 0, 10, 0), Line(0, 5, 4, 5), Line(1, 5, 3, 5)}, kTol);
  ASSERT_EQ(d.stretches.size(), 1u);
  EXPECT_EQ(d.stretches[0].object, 2u);
  EXPECT_EQ(coverage::Describe(d.stretches[0]), "2 long from (1, 5) to (3, 5)");
  EXPECT_EQ(coverage::DescribeDoubled(d), "2 in 1 stretch");
}

TEST(DoubledLength, ChordsOfOneArcMakeOneStretch) {
  const auto d = coverage::MeasureDoubled({Arc(0, 0, 10, 0, 90), Arc(0, 0, 10, 0, 90)}, kTol);
  EXPECT_EQ(d.stretches.size(), 1u);
  EXPECT_NEAR(d.length, kQuarter, kTol);
}

// Copies scattered in random order and direction, each a random share of a
// tolerance off: the doubled length is the copies' length whatever the order.
TEST(DoubledLength, ShuffledNearCopiesOfAnOutline) {
  std::mt19937 rng(21);
  std::uniform_real_distribution<double> off(-0.45 * kTol, 0.45 * kTol);
  const double xs[] = {0, 10, 10, 0}, ys[] = {0, 0, 10, 10};
  std::vector<Object> drawn;
  for (int copy = 0; copy < 3; ++copy)
    for (int e = 0; e < 4; ++e) {
      const double dx = off(rng), dy = off(rng);
      double ax = xs[e] + dx, ay = ys[e] + dy, bx = xs[(e + 1) % 4] + dx, by = ys[(e + 1) % 4] + dy;
      if (rng() % 2) std::swap(ax, bx), std::swap(ay, by);
      drawn.push_back(Line(ax, ay, bx, by));
    }
  std::shuffle(drawn.begin(), drawn.end(), rng);
  const auto d = coverage::MeasureDoubled(drawn, kTol);
  EXPECT_NEAR(d.length, 80, 8 * 2 * kTol);
}

TEST(DoubledLength, ToleranceAsLargeAsTheDrawingEndsEarlyNotSlowly) {
  std::vector<Object> drawn;
  for (int i = 0; i < 1500; ++i) drawn.push_back(Line(i % 7, i % 11, i % 5, i % 3 + 1));
  const auto d = coverage::MeasureDoubled(drawn, 1e6);
  EXPECT_FALSE(d.complete);
  EXPECT_EQ(coverage::DescribeDoubled(d).rfind("at least ", 0), 0u);
}

TEST(DoubledLength, UnmeasurableToleranceCountsExactCopiesOnly) {
  for (double tol : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), -0.0}) {
    const auto d = coverage::MeasureDoubled({Line(0, 0, 10, 0), Line(0, 0, 10, 0), Line(0, 1e-3, 10, 1e-3)}, tol);
    EXPECT_NEAR(d.length, 10, 1e-6) << tol;
  }
}

}  // namespace
