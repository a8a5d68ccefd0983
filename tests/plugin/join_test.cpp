// Joining touching lines, open polylines and arcs into one polyline, through
// the real library and host. Points are (x, y); tolerance 1 is 1.0, so ends
// meet within 0.01 per axis.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "hostapp/builders.h"
#include "support/plugin_fixture.h"

using namespace hostapp;

namespace {

Options JoinOptions(bool arcs = false, double tolerance = 1.0) {
  Options o = OnlyPass(6);
  o.flags[7] = arcs ? 1 : 0;
  o.tolerance1 = tolerance;
  return o;
}

Object With(Object o, int16_t wordA, uint8_t record0 = 0, int32_t longAttr = 0) {
  o.attr.wordA = wordA;
  o.attr.record[0] = record0;
  o.attr.longAttr = longAttr;
  return o;
}

size_t Count(const Host& host, const std::string& routine) {
  const std::vector<std::string> names = host.CallNames();
  return std::count(names.begin(), names.end(), routine);
}

struct JoinCase {
  const char* name;
  bool arcs;
  double tolerance;
  std::vector<Object> drawing, expected;  // expected empty: nothing changes
};

const JoinCase kCases[] = {
    {"LShape", false, 1, {Line(0, 0, 10, 0), Line(10, 0, 10, 5)}, {Polyline({{0, 0}, {10, 0}, {10, 5}})}},
    {"LShapeSecondReversed", false, 1, {Line(0, 0, 10, 0), Line(10, 5, 10, 0)},
     {Polyline({{0, 0}, {10, 0}, {10, 5}})}},
    {"TouchingSeedStart", false, 1, {Line(0, 0, 10, 0), Line(0, 5, 0, 0)},
     {Polyline({{10, 0}, {0, 0}, {0, 5}})}},
    {"NearEndWithinTolerance", false, 1, {Line(0, 0, 10, 0), Line(10.005, 0.003, 10, 5)},
     {Polyline({{0, 0}, {10, 0}, {10, 5}})}},
    {"NearEndBeyondTolerance", false, 1, {Line(0, 0, 10, 0), Line(10.02, 0, 10, 5)}, {}},
    {"ZeroToleranceBoundsNotGrown", false, 0, {Line(0, 0, 10, 0), Line(10, 0, 10, 5)}, {}},
    {"ThreeCollinearEndAsOneLine", false, 1,
     {With(Line(0, 0, 10, 0), 4), With(Line(-5, 0, 0, 0), 4), With(Line(10, 0, 15, 0), 4)},
     {With(Line(15, 0, -5, 0), 4)}},
    {"TriangleCloses", false, 1, {Line(0, 0, 10, 0), Line(10, 0, 5, 5), Line(5, 5, 0, 0)},
     {Polyline({{0, 0}, {10, 0}, {5, 5}}, true)}},
    // Bytes 0 and 1 of the record are not compared: the earlier object is
    // the seed and its attributes win; the long attribute is cleared.
    {"EarlierObjectIsTheSeed", false, 1,
     {With(Line(10, 0, 10, 5), 0, 7, 9), With(Line(0, 0, 10, 0), 0, 3)},
     {With(Polyline({{10, 5}, {10, 0}, {0, 0}}), 0, 7)}},
    {"DifferentAttributesNeverAttached", false, 1, {Line(0, 0, 10, 0), With(Line(10, 0, 10, 5), 3)}, {}},
    {"ClosedPolylineNeverAttached", false, 1,
     {Line(0, 0, 10, 0), Polyline({{10, 0}, {10, 5}, {12, 5}}, true)}, {}},
    {"PolylinePieceOwnDirection", false, 1,
     {Line(0, 0, 10, 0), Polyline({{10, 0}, {12, 3, 3, 2.5}, {15, 0}}, false, 21)},
     {Polyline({{0, 0}, {10, 0}, {12, 3, 3, 2.5}, {15, 0}})}},
    {"PolylinePieceReversed", false, 1,
     {Line(0, 0, 10, 0), Polyline({{15, 0}, {12, 3, 3, 2.5}, {10, 0}})},
     {Polyline({{0, 0}, {10, 0}, {12, 3, 3, 2.5}, {15, 0}})}},
    {"OpenSeedWhoseEndsMeetStillGrows", false, 1,
     {Polyline({{0, 0}, {10, 0}, {10, 10}, {0, 0}}), Line(0, 0, -5, 3)},
     {Polyline({{0, 0}, {10, 0}, {10, 10}, {0, 0}, {-5, 3}})}},
    {"EmptyPolylineIsNoSeed", false, 1, {Polyline({}), Line(0, 0, 10, 0), Line(10, 0, 10, 5)},
     {Polyline({}), Polyline({{0, 0}, {10, 0}, {10, 5}})}},
    {"ArcsOffSplitTheRun", false, 1, {Line(5, -5, 1, 0), Arc(0, 0, 1, 0, 90), Line(0, 1, 0, 5)}, {}},
    {"ArcPieceBecomesArcVertex", true, 1, {Line(5, -5, 1, 0), Arc(0, 0, 1, 0, 90), Line(0, 1, 0, 5)},
     {Polyline({{5, -5}, {1, 0}, {1, 1, 3, 1}, {0, 1, 0, 1.0}, {0, 5}})}},
    {"ArcPieceReversed", true, 1, {Line(-3, 4, 0, 1), Arc(0, 0, 1, 0, 90)},
     {Polyline({{-3, 4}, {0, 1}, {1, 1, 3, 1}, {1, 0, 0, 1.0}})}},
    // The seed's start sits in both sides; the clean-up drops the repeat.
    {"ArcSeedBecomesArcVertex", true, 1, {Arc(0, 0, 1, 0, 90), Line(0, 1, 0, 5)},
     {Polyline({{1, 0}, {1, 1, 3, 1}, {0, 1}, {0, 5}})}},
};

void PrintTo(const JoinCase& c, std::ostream* os) { *os << c.name; }

class JoinCases : public PluginTest,
                  public ::testing::WithParamInterface<std::tuple<JoinCase, uint8_t>> {};

TEST_P(JoinCases, DrawingAfterTheRun) {
  const auto& [c, trueValue] = GetParam();
  host.settings.trueValue = trueValue;
  checkPass(JoinOptions(c.arcs, c.tolerance), c.drawing, c.expected.empty() ? c.drawing : c.expected);
}

INSTANTIATE_TEST_SUITE_P(Join, JoinCases,
                         ::testing::Combine(::testing::ValuesIn(kCases), ::testing::Values(1, 2)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + "_true" +
                                  std::to_string(std::get<1>(info.param));
                         });

class Join : public PluginTest {};

TEST_F(Join, MarkedObjectIsNeverAttached) {
  const ClassId marker = host.ClassNamed(MarkerClassName());
  checkPass(JoinOptions(), {Line(0, 0, 10, 0), InClass(Line(10, 0, 10, 5), marker)}, {Line(0, 0, 10, 0)});
}

struct ArcCase {
  const char* name;
  Object arc;
  size_t conversions;
};

void PrintTo(const ArcCase& c, std::ostream* os) { *os << c.name; }

class JoinArcConversion : public PluginTest,
                          public ::testing::WithParamInterface<std::tuple<ArcCase, bool>> {};

// Circular sweeps up to 140° become one arc vertex; anything else is
// converted, and an arc touching no chain end never is.
TEST_P(JoinArcConversion, OnlyWhenOneArcVertexCannotStandForIt) {
  const auto& [c, arcIsSeed] = GetParam();
  if (arcIsSeed) host.Add(c.arc);
  host.Add(Line(5, -5, 1, 0));
  if (!arcIsSeed) host.Add(c.arc);
  const ObjectHandle far = host.Add(Arc(50, 50, 1, 0, 170));
  EXPECT_EQ(RunCommand(JoinOptions(true)), 0);
  EXPECT_EQ(Count(host, "ConvertToPolyline"), c.conversions);
  const std::vector<Object> after = Drawing();
  ASSERT_EQ(after.size(), 2u);
  const std::vector<Vertex>& joined = after[0].vertices;
  const bool hasArcVertex =
      std::any_of(joined.begin(), joined.end(), [](const Vertex& v) { return v.type == 3; });
  EXPECT_EQ(hasArcVertex, c.conversions == 0);
  EXPECT_TRUE(SameObject(after[1], host.Get(far)));
}

INSTANTIATE_TEST_SUITE_P(Join, JoinArcConversion,
                         ::testing::Combine(::testing::Values(ArcCase{"Sweep140", Arc(0, 0, 1, 0, 140), 0},
                                                             ArcCase{"Sweep140_5", Arc(0, 0, 1, 0, 140.5), 1},
                                                             ArcCase{"Elliptic", EllipticArc(0, 0, 1, 2, 0, 90), 1}),
                                            ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) ? "_seed" : "_piece");
                         });

}  // namespace
