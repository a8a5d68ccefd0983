// The coverage check on hand-made before/after pairs: what it must find lost
// or added, and what it must let pass (true curves, exempt objects, noise).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <vector>

#include "coverage/coverage_check.h"
#include "hostapp/builders.h"
#include "hostapp/geometry.h"

using namespace hostapp;

namespace {

constexpr double kTol = 0.01;

coverage::Rules WithPasses(std::initializer_list<int> flags, double sizeTolerance = 0.0001) {
  coverage::Rules r;
  r.pointTolerance = kTol;
  r.sizeTolerance = sizeTolerance;
  for (int f : flags) r.passes[size_t(f)] = true;
  return r;
}

Object Converted(const Object& arc) {
  Object o;
  o.type = 5;
  o.vertices = ArcToVertices(arc);
  return o;
}

struct Case {
  const char* name;
  std::vector<Object> before, after;
  coverage::Rules rules;
  double missing, added;  // lengths the check must report (within 1e-6)
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

const Case kCases[] = {
    {"SameLine", {Line(0, 0, 10, 0)}, {Line(10, 0, 0, 0)}, WithPasses({}), 0, 0},
    {"PiecesMergedIntoOne", {Line(0, 0, 5, 0), Line(5, 0, 10, 0)}, {Line(0, 0, 10, 0)}, WithPasses({4}), 0, 0},
    // The overlap pass's old fault: a tenth of the line gone.
    {"LineShortened", {Line(10, 0, 0, -1e-7), Line(9, -1e-7, 0, 0)}, {Line(9, -1e-7, 0, 0)}, WithPasses({4}),
     1.0 - kTol, 0},
    {"MovedWithinTolerance", {Line(0, 0, 10, 0)}, {Line(0, 0.009, 10, 0.009)}, WithPasses({}), 0, 0},
    {"MovedBeyondTolerance", {Line(0, 0, 10, 0)}, {Line(0, 0.02, 10, 0.02)}, WithPasses({}), 10, 10},
    {"NewLineDrawn", {Line(0, 0, 10, 0)}, {Line(0, 0, 10, 0), Line(0, 5, 3, 5)}, WithPasses({}), 0, 3},
    {"ObjectGone", {Line(0, 0, 10, 0), Arc(0, 0, 1, 0, 90)}, {Line(0, 0, 10, 0)}, WithPasses({}), M_PI / 2, 0},
    // Curves are compared as curves, whatever their form.
    {"CircleAsArcVertices", {Arc(3, 4, 50, 0, 360)}, {Converted(Arc(3, 4, 50, 0, 360))}, WithPasses({6}), 0, 0},
    {"ArcAsArcVertices", {Arc(0, 0, 2, 30, 200)}, {Converted(Arc(0, 0, 2, 30, 200))}, WithPasses({6}), 0, 0},
    {"EllipseAsChords", {EllipticArc(0, 0, 400, 300, 0, 360)}, {Converted(EllipticArc(0, 0, 400, 300, 0, 360))},
     WithPasses({6}), 0, 0},
    {"FilletedCorner",
     {Line(0, 0, 9, 0), Arc(9, 1, 1, -90, 90), Line(10, 1, 10, 10)},
     {Polyline({{0, 0}, {10, 0, 3, 1}, {10, 10}})},
     WithPasses({6, 7}), 0, 0},
    {"CircleAsOctagon", {Arc(0, 0, 10, 0, 360)},
     {Polyline({{10, 0}, {7.0710678, 7.0710678}, {0, 10}, {-7.0710678, 7.0710678}, {-10, 0},
                {-7.0710678, -7.0710678}, {0, -10}, {7.0710678, -7.0710678}}, true)},
     WithPasses({}), 62.0, 58.0},
    {"FlattenedFrom3D", {Poly3D({{0, 0, 1}, {5, 0, 2}, {5, 5, 3}}, true)},
     {Polyline({{0, 0}, {5, 0}, {5, 5}}, true)}, WithPasses({0}), 0, 0},
    // Exempt: what the degenerate pass removes, points, unmeasurable values.
    {"SmallObjectRemoved", {Line(0, 0, 10, 0), Line(20, 20, 20.00005, 20)}, {Line(0, 0, 10, 0)},
     WithPasses({1}), 0, 0},
    {"SmallObjectRemovedWithoutItsPass", {Line(0, 0, 10, 0), Line(20, 20, 20.5, 20)}, {Line(0, 0, 10, 0)},
     WithPasses({3}), 0.5, 0},
    {"PointsDrawNoStretch", {Point17(1, 1), Point9(2, 2, 2)}, {}, WithPasses({2}), 0, 0},
    {"NonFiniteExempt", {Line(kNaN, 0, 1, 1)}, {}, WithPasses({}), 0, 0},
    {"NaNSweepExempt", {EllipticArc(0, 0, 0, 6, 0, kNaN)}, {}, WithPasses({}), 0, 0},
    // A full turn is one whatever its start; at a start of 1e232 a turn's
    // fraction added in radians would vanish.
    {"FullTurnFromAHugeStart", {EllipticArc(5, 10, 16, 16, 0, -4.6e232)},
     {EllipticArc(5, 10, 16, 16, -4.6e232, 4.6e232)}, WithPasses({4}), 0, 0},
    // Joined to a piece that ends at NaN, a line is still drawn; what is
    // drawn beside NaN is measured, never the NaN stretch itself.
    {"JoinedToANaNEnd", {Line(0, 0, 10, 0), Line(10, 0, kNaN, 5)}, {Polyline({{0, 0}, {10, 0}, {kNaN, 5}})},
     WithPasses({6}), 0, 0},
    {"JoinedToAnInfiniteEnd", {Line(0, 0, 10, 0), Line(10, 0, -kInf, 5)}, {Polyline({{0, 0}, {10, 0}, {-kInf, 5}})},
     WithPasses({6}), 0, 0},
    {"MergedIntoALineRunningPastMeasuring", {Line(0, 0, -16, 0), Line(0, 0, 2.6e122, 0)},
     {Line(2.6e122, 0, -16, 0)}, WithPasses({4}), 0, 0},
    {"LostBesideALineRunningPastMeasuring", {Line(0, 0, -16, 0), Line(0, 0, 2.6e122, 0)},
     {Line(2.6e122, 0, -8, 0)}, WithPasses({4}), 8, 0},
    {"LostBesideANaNEnd", {Line(0, 0, 10, 0), Line(10, 0, kNaN, 5)}, {Polyline({{0, 0}, {kNaN, 5}})},
     WithPasses({6, 8}), 10, 0},
    // Collinear corners dropped by vertex clean-up sit within the fixed limit.
    {"CollinearCornerDropped", {Polyline({{0, 0}, {5, 5e-6}, {10, 0}})}, {Line(0, 0, 10, 0)},
     coverage::Rules{1e-7, 1e-7, {false, false, false, false, false, true}}, 0, 0},
};

class CoverageCase : public ::testing::TestWithParam<Case> {};

TEST_P(CoverageCase, ReportsWhatIsLostAndAdded) {
  const Case& c = GetParam();
  const coverage::Report r = coverage::CheckCoverage(c.before, c.after, c.rules);
  // Lengths near the reach: the check ends a stretch where the tolerance ends.
  const double slack = 2 * kTol + 1e-6;
  EXPECT_NEAR(r.missingLength, c.missing, c.missing > 0 ? c.missing * 0.1 + slack : 1e-9);
  EXPECT_NEAR(r.addedLength, c.added, c.added > 0 ? c.added * 0.1 + slack : 1e-9);
  EXPECT_EQ(r.Passed(), c.missing == 0 && c.added == 0);
}

INSTANTIATE_TEST_SUITE_P(Pairs, CoverageCase, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CoverageCheck, NamesThePlaceOfALostStretch) {
  const auto r = coverage::CheckCoverage({Line(0, 0, 10, 0), Line(0, 5, 4, 5)}, {Line(0, 0, 10, 0)},
                                         WithPasses({}));
  ASSERT_EQ(r.missing.size(), 1u);
  EXPECT_EQ(r.missing[0].object, 1u);
  EXPECT_EQ(coverage::Describe(r.missing[0]), "4 long from (0, 5) to (4, 5)");
}

TEST(CoverageCheck, OneStretchPerGapAlongAnArc) {
  // Two arcs remain of a circle: the two quarter-turn gaps are two places.
  const auto r = coverage::CheckCoverage({Arc(0, 0, 1, 0, 360)}, {Arc(0, 0, 1, 0, 90), Arc(0, 0, 1, 180, 90)},
                                         WithPasses({}));
  EXPECT_EQ(r.missing.size(), 2u);
  EXPECT_NEAR(r.missingLength, M_PI, 0.05);
}

}  // namespace
