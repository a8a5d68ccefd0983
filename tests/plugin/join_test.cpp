// Joining touching lines, open polylines and arcs into one polyline, through
// the real library and host. Points are (x, y); tolerance 1 is 1.0, so ends
// meet within 0.01 per axis.
#include <gtest/gtest.h>

#include <limits>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
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
    {"LShape", false, 1, {Line(0, 0, 10, 0), Line(10, 0, 10, 5)},
     {Polyline({{0, 0}, {10, 0}, {10, 5}})}},
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
    // A closed chain takes nothing more, not even a spur at its closing corner.
    {"ClosedChainTakesNoSpurAtItsClosingCorner", false, 1,
     {Line(0, 0, 10, 0), Line(10, 0, 5, 5), Line(5, 5, 0, 0), Line(0, 0, -5, 0)},
     {Polyline({{0, 0}, {10, 0}, {5, 5}}, true), Line(0, 0, -5, 0)}},
    // Bytes 0 and 1 of the record are not compared: the earlier object is
    // the seed and its attributes win; the long attribute is cleared.
    {"EarlierObjectIsTheSeed", false, 1,
     {With(Line(10, 0, 10, 5), 0, 7, 9), With(Line(0, 0, 10, 0), 0, 3)},
     {With(Polyline({{10, 5}, {10, 0}, {0, 0}}), 0, 7)}},
    {"DifferentAttributesNeverAttached", false, 1,
     {Line(0, 0, 10, 0), With(Line(10, 0, 10, 5), 3)}, {}},
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
    {"ArcsOffSplitTheRun", false, 1,
     {Line(5, -5, 1, 0), Arc(0, 0, 1, 0, 90), Line(0, 1, 0, 5)}, {}},
    {"ArcPieceBecomesArcVertex", true, 1,
     {Line(5, -5, 1, 0), Arc(0, 0, 1, 0, 90), Line(0, 1, 0, 5)},
     {Polyline({{5, -5}, {1, 0}, {1, 1, 3, 1}, {0, 1, 0, 1.0}, {0, 5}})}},
    {"ArcPieceReversed", true, 1, {Line(-3, 4, 0, 1), Arc(0, 0, 1, 0, 90)},
     {Polyline({{-3, 4}, {0, 1}, {1, 1, 3, 1}, {1, 0, 0, 1.0}})}},
    // An arc vertex at a piece's open end is drawn as a corner; inside the
    // chain it stays that corner instead of rounding it off.
    {"ArcVertexAtTheSeedsEndStaysACorner", false, 1,
     {Polyline({{0, 0}, {10, 0, 3, 1}}, false, 21), Line(10, 0, 10, 10)},
     {Polyline({{0, 0}, {10, 0}, {10, 10}})}},
    {"ArcVertexAtAPiecesFarEndStaysACorner", false, 1,
     {Line(0, 10, 0, 0), Polyline({{0, 0}, {10, 0, 3, 1}}, false, 21), Line(10, 0, 10, 10)},
     {Polyline({{0, 10}, {0, 0}, {10, 0}, {10, 10}})}},
    // The piece's first leg is 0.001 long: taking the line's end in place of
    // its own would turn that leg by 30 degrees and swing its arc.
    {"NearEndBesideAnArcVertexStays", false, 1,
     {Line(0, 0, 10, 0), Polyline({{10.005, 0.003}, {10.006, 0.0031, 3, 1}, {20, 5}}, false, 21)},
     {Polyline({{0, 0}, {10, 0}, {10.005, 0.003}, {10.006, 0.0031, 3, 1}, {20, 5}})}},
    {"NearEndBesideAPlainCornerGives", false, 1,
     {Line(0, 0, 10, 0), Polyline({{10.005, 0.003}, {10.006, 0.0031}, {20, 5}}, false, 21)},
     {Polyline({{0, 0}, {10, 0}, {10.006, 0.0031}, {20, 5}})}},
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
  checkPass(JoinOptions(c.arcs, c.tolerance), c.drawing,
            c.expected.empty() ? c.drawing : c.expected);
}

INSTANTIATE_TEST_SUITE_P(Join, JoinCases,
                         ::testing::Combine(::testing::ValuesIn(kCases), ::testing::Values(1, 2)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + "_true" +
                                  std::to_string(std::get<1>(info.param));
                         });

class Join : public PluginTest {};

// An object already in the marker class is never attached; the run did not
// put it there, so the final sweep leaves it too.
TEST_F(Join, MarkedObjectIsNeverAttached) {
  const ClassId marker = host.ClassNamed(MarkerClassName());
  checkPass(JoinOptions(), {Line(0, 0, 10, 0), InClass(Line(10, 0, 10, 5), marker)},
            {Line(0, 0, 10, 0), InClass(Line(10, 0, 10, 5), marker)});
}

struct ArcCase {
  const char* name;
  Object arc;
  size_t conversions;
  bool arcVertices;  // the joined polyline follows the arc with arc vertices
};

void PrintTo(const ArcCase& c, std::ostream* os) { *os << c.name; }

class JoinArcConversion : public PluginTest,
                          public ::testing::WithParamInterface<std::tuple<ArcCase, bool>> {};

// Circular sweeps up to 140° become one arc vertex; anything else is
// converted (a circular arc still into arc vertices, an elliptical one into
// chords), and an arc touching no chain end never is.
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
  EXPECT_EQ(hasArcVertex, c.arcVertices);
  EXPECT_TRUE(SameObject(after[1], host.Get(far)));
}

INSTANTIATE_TEST_SUITE_P(Join, JoinArcConversion,
                         ::testing::Combine(
                             ::testing::Values(ArcCase{"Sweep140", Arc(0, 0, 1, 0, 140), 0, true},
                                               ArcCase{"Sweep140_5", Arc(0, 0, 1, 0, 140.5), 1, true},
                                               ArcCase{"Elliptic", EllipticArc(0, 0, 1, 2, 0, 90), 1, false}),
                             ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) ? "_seed" : "_piece");
                         });

// A refused CreatePolyline, for the first side or the second, ends the
// visit with no side left behind and nothing marked.
class JoinCreateRefused : public PluginTest, public ::testing::WithParamInterface<int> {};

TEST_P(JoinCreateRefused, DrawingStaysAsItWas) {
  int created = 0;
  host.SetHook(kSelCreatePolyline, [&] {
    if (++created == GetParam()) host.settings.createPolylineFails = true;
  });
  checkNoChange(JoinOptions(), {Line(0, 0, 10, 0), Line(10, 0, 10, 5)});
  EXPECT_EQ(Count(host, "SetObjectClass"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Join, JoinCreateRefused, ::testing::Values(1, 2));

// A refused (or missing) conversion leaves the arc as it was: a seed arc
// starts nothing, a piece arc is left out and the loop still ends.
class JoinConversionRefused : public PluginTest,
                              public ::testing::WithParamInterface<std::tuple<bool, bool>> {};

TEST_P(JoinConversionRefused, ArcStaysAsItWas) {
  const auto [missing, arcIsSeed] = GetParam();
  if (missing) host.SetMissing(kSelConvertToPolyline);
  else host.settings.convertToPolylineFails = true;
  const Object arc = With(Arc(0, 0, 1, 0, 170), 0, 0, 9);
  if (arcIsSeed) checkNoChange(JoinOptions(true), {arc, Line(1, 0, 5, -5)});
  else checkPass(JoinOptions(true), {Line(5, -5, 1, 0), arc}, {Line(1, 0, 5, -5), arc});
}

INSTANTIATE_TEST_SUITE_P(Join, JoinConversionRefused,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool()));

// The converted arc is the seed's successor; the last line is reached only by
// walking on from the arc's replacement.
TEST_F(Join, WalksGoOnFromAConvertedSuccessorsNewHandle) {
  host.settings.convertInPlace = false;
  const double end = 170 * std::numbers::pi / 180;
  Load({Line(5, -5, 1, 0), Arc(0, 0, 1, 0, 170), Line(std::cos(end), std::sin(end), -5, 5)});
  EXPECT_EQ(RunCommand(JoinOptions(true)), 0);
  const std::vector<Object> after = Drawing();
  ASSERT_EQ(after.size(), 1u);
  const std::vector<Vertex>& v = after[0].vertices;
  EXPECT_EQ(std::make_pair(v.front().p.x, v.front().p.y), std::make_pair(5.0, -5.0));
  EXPECT_EQ(std::make_pair(v.back().p.x, v.back().p.y), std::make_pair(-5.0, 5.0));
}

// Without a class routine marks cannot be made or seen: the join loop must
// still end, and the pieces stay because the sweep finds nothing.
class JoinMarksDoNotStick : public PluginTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(JoinMarksDoNotStick, JoinLoopEnds) {
  host.SetMissing(GetParam());
  Load({Line(0, 0, 10, 0), Line(10, 0, 10, 5)});
  EXPECT_EQ(RunCommand(JoinOptions()), 0);
  const std::vector<Object> after = Drawing();
  ASSERT_EQ(after.size(), 3u);
  EXPECT_TRUE(SameObject(after[0], Polyline({{0, 0}, {10, 0}, {10, 5}})));
}

INSTANTIATE_TEST_SUITE_P(Join, JoinMarksDoNotStick,
                         ::testing::Values(kSelSetObjectClass, kSelGetObjectClass));

// A run of lines and two-vertex polylines in a scrambled order and mixed
// directions ends as one polyline (closed for a ring), with every pass on:
// no piece, no marked object and no working polyline is left.
class JoinLongRun : public PluginTest, public ::testing::WithParamInterface<bool> {};

TEST_P(JoinLongRun, EndsAsOnePolyline) {
  const bool ring = GetParam();
  const int pieces = ring ? 24 : 60;
  std::vector<V> path;
  for (int i = 0; i <= pieces; ++i) {
    const double a = 2 * std::numbers::pi * (i % pieces) / pieces;
    path.push_back(ring ? V{50 * std::cos(a), 50 * std::sin(a)} : V{i * 10.0, (i % 2) * 10.0});
  }
  std::vector<Object> drawing;
  for (int k = 0; k < pieces; ++k) {
    const int i = (k * 7) % pieces;  // a fixed scramble: 7 is prime to both counts
    V a = path[i], b = path[i + 1];
    if (k % 3 == 0) std::swap(a, b);
    drawing.push_back(k % 4 == 1 ? Polyline({a, b}, false, 21) : Line(a.x, a.y, b.x, b.y));
  }
  Options all;
  std::memset(all.flags, 1, sizeof all.flags);
  all.tolerance1 = 1.0;
  Load(drawing);
  EXPECT_EQ(RunCommand(all), 0);
  const std::vector<Object> after = Drawing();
  ASSERT_EQ(after.size(), 1u);
  const Object& joined = after[0];
  EXPECT_EQ(joined.cls, 0);
  EXPECT_EQ(joined.closed, ring);
  ASSERT_EQ(joined.vertices.size(), size_t(ring ? pieces : pieces + 1));
  // Each vertex is a path point, and neighbours are neighbours on the path.
  std::vector<int> at;
  for (const Vertex& v : joined.vertices)
    for (int i = 0; i < pieces + (ring ? 0 : 1); ++i)
      if (std::fabs(v.p.x - path[i].x) < 1e-9 && std::fabs(v.p.y - path[i].y) < 1e-9)
        at.push_back(i);
  ASSERT_EQ(at.size(), joined.vertices.size());
  for (size_t j = 0; j + 1 < at.size(); ++j) {
    const int step = std::abs(at[j + 1] - at[j]);
    EXPECT_TRUE(step == 1 || (ring && step == pieces - 1)) << j;
  }
}

INSTANTIATE_TEST_SUITE_P(Join, JoinLongRun, ::testing::Bool());

// A piece with an end no one can measure joins nothing, seed or candidate:
// chained to sound pieces it would make them part of an object no one can
// draw. (Compared by type: the drawing's own comparison cannot hold NaN.)
class JoinUnmeasurable : public PluginTest {};

TEST_F(JoinUnmeasurable, PiecesWithAnUnmeasurableEndJoinNothing) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const std::vector<std::vector<Object>> drawings = {
      {Line(nan, 0, 0, 0), Line(0, 0, 10, 0)},
      {Line(0, 0, 10, 0), Line(10, 0, inf, 5)},
      {Line(0, 0, 10, 0), Polyline({{10, 0}, {10, 5}, {nan, 5}})},
  };
  for (const std::vector<Object>& drawing : drawings) {
    for (ObjectHandle h : host.Objects()) host.Remove(h);
    Load(drawing);
    ASSERT_EQ(RunCommand(OnlyPass(6)), 0);
    const std::vector<Object> after = Drawing();
    ASSERT_EQ(after.size(), drawing.size());
    for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i].type, drawing[i].type) << i;
  }
}

}  // namespace
