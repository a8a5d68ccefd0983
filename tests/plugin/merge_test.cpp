// Merging of overlapping collinear lines and overlapping arcs of one circle,
// through the real library: the later object of a pair survives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "coverage/coverage_check.h"
#include "hostapp/builders.h"
#include "support/plugin_fixture.h"

using namespace hostapp;

namespace {

const Options kMerge = OnlyPass(4);

Attributes WordA(int16_t value) {
  Attributes a;
  a.wordA = value;
  return a;
}

struct Case {
  const char* name;
  std::vector<Object> drawing;
  std::vector<Object> expected;  // empty: the drawing stays as it is
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::string CaseName(const ::testing::TestParamInfo<Case>& info) { return info.param.name; }

class MergeCase : public PluginTest, public ::testing::WithParamInterface<Case> {
 protected:
  void Check() {
    const Case& c = GetParam();
    if (c.expected.empty())
      checkNoChange(kMerge, c.drawing);
    else
      checkPass(kMerge, c.drawing, c.expected);
  }
};

// ---- lines ----

const Case kLineCases[] = {
    {"Overlap", {Line(0, 0, 10, 0), Line(5, 0, 20, 0)}, {Line(0, 0, 20, 0)}},
    {"VisitedWithinLater", {Line(2, 0, 4, 0), Line(0, 0, 10, 0)}, {Line(0, 0, 10, 0)}},
    // The later line takes the visited line's ends, in the visited line's order.
    {"LaterWithinVisited", {Line(0, 0, 10, 0), Line(4, 0, 2, 0)}, {Line(0, 0, 10, 0)}},
    // A line of no length passes the collinearity tests from anywhere: one
    // in the corner of the visited line's box stays; one on it is taken in.
    {"PointLineOffTheVisitedLineStays", {Line(10, -16, -16, 0), Line(-16, -16, -16, -16)},
     {Line(10, -16, -16, 0), Line(-16, -16, -16, -16)}},
    {"PointLineOnTheVisitedLineMerges", {Line(0, 0, 10, 0), Line(4, 0, 4, 0)}, {Line(0, 0, 10, 0)}},
    {"TouchingEnds", {Line(0, 0, 5, 0), Line(5, 0, 9, 0)}, {Line(0, 0, 9, 0)}},
    // First end inside: second end beyond the later line's second end, or its first.
    {"FirstInsideBeyondSecond", {Line(5, 0, 12, 0), Line(0, 0, 10, 0)}, {Line(0, 0, 12, 0)}},
    {"FirstInsideBeyondFirst", {Line(5, 0, -3, 0), Line(0, 0, 10, 0)}, {Line(-3, 0, 10, 0)}},
    // Second end inside: first end beyond either end.
    {"SecondInsideBeyondSecond", {Line(20, 0, 5, 0), Line(0, 0, 10, 0)}, {Line(0, 0, 20, 0)}},
    {"SecondInsideBeyondFirst", {Line(-5, 0, 5, 0), Line(0, 0, 10, 0)}, {Line(-5, 0, 10, 0)}},
    {"Diagonal", {Line(0, 0, 10, 10), Line(5, 5, 15, 15)}, {Line(0, 0, 15, 15)}},
    {"Vertical", {Line(0, 0, 0, 10), Line(0, 5, 0, 20)}, {Line(0, 0, 0, 20)}},
    // Within the collinearity limit the outer end counts, though off the box.
    {"OuterEndSlightlyOffLine", {Line(5, 0, 12, 1e-9), Line(0, 0, 10, 0)}, {Line(0, 0, 12, 1e-9)}},
    // The outer end lies within the later line's span, just off its exact
    // box: the later line already covers the visited one and keeps its length.
    {"OuterEndWithinSpanOffBoxFirstInside",
     {Line(5, 0, 8, 1e-9), Line(0, 0, 10, 0)},
     {Line(0, 0, 10, 0)}},
    {"OuterEndWithinSpanOffBoxSecondInside",
     {Line(8, 1e-9, 5, 0), Line(0, 0, 10, 0)},
     {Line(0, 0, 10, 0)}},
    {"OuterEndWithinSpanOffBoxDiagonal",
     {Line(5, 5, 10 + 1e-9, 10 - 1e-8), Line(0, 0, 10, 10)},
     {Line(0, 0, 10, 10)}},
    // Attributes that the comparison ignores do not keep lines apart; the
    // survivor keeps its own.
    {"OtherLongAttribute",
     {WithAttr(Line(0, 0, 10, 0), Attributes{.longAttr = 7}), Line(5, 0, 20, 0)},
     {Line(0, 0, 20, 0)}},
    {"LineAmongOtherObjects",
     {Line(0, 0, 10, 0), Arc(5, 0, 5, 0, 180), Point17(5, 0), Line(5, 0, 20, 0)},
     {Arc(5, 0, 5, 0, 180), Point17(5, 0), Line(0, 0, 20, 0)}},

    // The outer end is off the later line's exact box by noise and beyond
    // neither of its ends there: its place along the later line decides.
    {"NoisyOuterEndBeforeFirst", {Line(10, 0, 0, -1e-7), Line(9, -1e-7, 0, 0)}, {Line(10, 0, 0, 0)}},
    {"NoisyOuterEndBeyondSecond", {Line(1, -1e-7, 10, 0), Line(0, 0, 9, -1e-7)}, {Line(0, 0, 10, 0)}},
    {"NoisyOuterEndBeforeFirstSecondInside", {Line(0, -1e-7, 10, 0), Line(9, -1e-7, 0, 0)}, {Line(10, 0, 0, 0)}},

    {"Gap", {Line(0, 0, 4, 0), Line(5, 0, 9, 0)}, {}},
    {"ParallelApart", {Line(0, 0, 10, 0), Line(0, 1, 10, 1)}, {}},
    {"OtherWordAttribute", {WithAttr(Line(0, 0, 10, 0), WordA(1)), Line(5, 0, 20, 0)}, {}},
    {"OtherClass", {InClass(Line(0, 0, 10, 0), 3), Line(5, 0, 20, 0)}, {}},
    // Collinear within 1e-5, but the box tests are exact: 1e-9 above a
    // horizontal line is outside its box.
    {"SlightlyAboveWithinSpan", {Line(2, 1e-9, 4, 1e-9), Line(0, 0, 10, 0)}, {}},
    {"OffLineBeyondLimit", {Line(5, 0, 12, 2e-5), Line(0, 0, 10, 0)}, {}},
};

INSTANTIATE_TEST_SUITE_P(Lines, MergeCase, ::testing::ValuesIn(kLineCases), CaseName);

// ---- arcs ----

const Case kArcCases[] = {
    {"Overlap", {Arc(0, 0, 1, 0, 90), Arc(0, 0, 1, 45, 135)}, {Arc(0, 0, 1, 0, 180)}},
    {"LaterWithinVisited", {Arc(0, 0, 1, 0, 180), Arc(0, 0, 1, 30, 20)}, {Arc(0, 0, 1, 0, 180)}},
    {"VisitedWithinLater", {Arc(0, 0, 1, 30, 20), Arc(0, 0, 1, 0, 180)}, {Arc(0, 0, 1, 0, 180)}},
    {"TouchingRanges", {Arc(0, 0, 1, 0, 90), Arc(0, 0, 1, 90, 90)}, {Arc(0, 0, 1, 0, 180)}},
    // The later start is taken as 370, inside 300..390.
    {"VisitedWrapsPastFullTurn",
     {Arc(0, 0, 1, 300, 90), Arc(0, 0, 1, 10, 40)},
     {Arc(0, 0, 1, 300, 110)}},
    {"LaterWrapsPastFullTurn",
     {Arc(0, 0, 1, 10, 40), Arc(0, 0, 1, 300, 90)},
     {Arc(0, 0, 1, -60, 110)}},
    {"NegativeSweep", {Arc(0, 0, 1, 90, -90), Arc(0, 0, 1, 45, 135)}, {Arc(0, 0, 1, 0, 180)}},
    {"SweepCappedAtFullTurn",
     {Arc(0, 0, 1, 0, 270), Arc(0, 0, 1, 180, 270)},
     {Arc(0, 0, 1, 0, 360)}},
    {"EllipticArcs",
     {EllipticArc(3, 4, 2, 1, 0, 90), EllipticArc(3, 4, 2, 1, 60, 60)},
     {EllipticArc(3, 4, 2, 1, 0, 120)}},
    // Each normalising rule applies once: -500 becomes -140, 800 becomes 440.
    {"StartBelowMinusFullTurn",
     {Arc(0, 0, 1, -500, 90), Arc(0, 0, 1, 250, 90)},
     {Arc(0, 0, 1, -140, 120)}},
    {"StartAboveTwoFullTurns",
     {Arc(0, 0, 1, 800, 30), Arc(0, 0, 1, 80, 40)},
     {Arc(0, 0, 1, 440, 40)}},
    // Starts left more than a turn apart still compare as the same circle:
    // the later arc keeps the stretch before the visited one...
    {"FarStartsOverlapKeepsBothStretches",
     {Arc(0, 0, 1, 800, 30), Arc(0, 0, 1, 5, 85)},
     {Arc(0, 0, 1, 365, 105)}},
    // ...and ranges that do not overlap are not bridged.
    {"FarStartsApartStayApart", {Arc(0, 0, 1, 800, 20), Arc(0, 0, 1, 40, 30)}, {}},
    {"FarStartsApartNotBridged", {Arc(0, 0, 1, -500, 90), Arc(0, 0, 1, 800, 130)}, {}},
    // The centres need agree only to a hundredth of the point tolerance;
    // the survivor keeps its own centre.
    {"CentreWithinTolerance",
     {Arc(0, 0, 1, 0, 90), Arc(5e-5, -5e-5, 1, 45, 135)},
     {Arc(5e-5, -5e-5, 1, 0, 180)}},

    {"CentreBeyondTolerance", {Arc(0, 0, 1, 0, 90), Arc(2e-4, 0, 1, 45, 135)}, {}},
    {"RadiiDifferInTheNinthPlace", {Arc(0, 0, 1, 0, 90), Arc(0, 0, 1 + 1e-9, 45, 135)}, {}},
    {"RangesApart", {Arc(0, 0, 1, 0, 30), Arc(0, 0, 1, 60, 30)}, {}},
    {"OtherWordAttribute", {WithAttr(Arc(0, 0, 1, 0, 90), WordA(2)), Arc(0, 0, 1, 45, 135)}, {}},
};

INSTANTIATE_TEST_SUITE_P(Arcs, MergeCase, ::testing::ValuesIn(kArcCases), CaseName);

TEST_P(MergeCase, EndsAsExpected) { Check(); }

// ---- runs of pieces ----

class MergeRun : public PluginTest {};

TEST_F(MergeRun, ConnectedLinesEndInTheLastPieceWhateverTheOrder) {
  const std::vector<std::vector<Object>> orders = {
      {Line(0, 0, 3, 0), Line(2, 0, 6, 0), Line(6, 0, 9, 0), Line(8, 0, 12, 0)},
      {Line(8, 0, 12, 0), Line(6, 0, 9, 0), Line(2, 0, 6, 0), Line(0, 0, 3, 0)},
      {Line(6, 0, 9, 0), Line(0, 0, 3, 0), Line(8, 0, 12, 0), Line(2, 0, 6, 0)},
      {Line(0, 0, 3, 0), Line(8, 0, 12, 0), Line(6, 0, 9, 0), Line(2, 0, 6, 0)},
  };
  for (const std::vector<Object>& drawing : orders) {
    for (ObjectHandle o : host.Objects()) host.Remove(o);
    const std::vector<ObjectHandle> handles = Load(drawing);
    ASSERT_EQ(RunCommand(kMerge), 0);
    ASSERT_EQ(host.Objects(), std::vector<ObjectHandle>{handles.back()});
    const Object& survivor = host.Get(handles.back());
    EXPECT_EQ(std::min(survivor.first.x, survivor.second.x), 0);
    EXPECT_EQ(std::max(survivor.first.x, survivor.second.x), 12);
  }
}

// Pieces of one line in any order and direction, their ends nudged by noise
// well within the collinearity limit: whatever merges, nothing drawn is lost.
TEST_F(MergeRun, NoisyPiecesOfOneLineKeepTheirWholeLength) {
  std::mt19937 rng(20);
  std::uniform_real_distribution<double> noise(-1e-6, 1e-6), cut(0.0, 1.0);
  for (int drawing = 0; drawing < 300; ++drawing) {
    for (ObjectHandle o : host.Objects()) host.Remove(o);
    // A line of length 10 at some angle, cut into 3 to 5 overlapping pieces.
    const double angle = std::uniform_int_distribution<int>(0, 7)(rng) * M_PI / 4;
    const double dx = std::cos(angle), dy = std::sin(angle);
    const int pieces = std::uniform_int_distribution<int>(3, 5)(rng);
    std::vector<double> stops = {0, 10};
    for (int i = 1; i < pieces; ++i) stops.push_back(10 * cut(rng));
    std::sort(stops.begin(), stops.end());
    std::vector<Object> drawn;
    for (int i = 0; i < pieces; ++i) {
      const double a = std::max(0.0, stops[i] - 0.5 * cut(rng)), b = stops[i + 1];
      Object l = Line(a * dx + noise(rng), a * dy + noise(rng), b * dx + noise(rng), b * dy + noise(rng));
      if (rng() % 2) std::swap(l.first, l.second);
      drawn.push_back(l);
    }
    std::shuffle(drawn.begin(), drawn.end(), rng);
    Load(drawn);
    ASSERT_EQ(RunCommand(kMerge), 0);
    coverage::Rules rules;
    rules.pointTolerance = kMerge.tolerance1;
    rules.passes[4] = true;
    const coverage::Report r = coverage::CheckCoverage(drawn, Drawing(), rules);
    ASSERT_TRUE(r.Passed()) << "drawing " << drawing << ": lost " << r.missingLength << ", first "
                            << (r.missing.empty() ? "" : coverage::Describe(r.missing[0]));
  }
}

TEST_F(MergeRun, TwoRunsStaySeparate) {
  checkPass(kMerge,
            {Line(0, 0, 3, 0), Line(20, 0, 23, 0), Line(2, 0, 5, 0), Line(22, 0, 25, 0)},
            {Line(0, 0, 5, 0), Line(20, 0, 25, 0)});
}

TEST_F(MergeRun, ArcsEndInTheLastPieceWithinOneTurn) {
  checkPass(kMerge,
            {Arc(0, 0, 1, 0, 60), Arc(0, 0, 1, 50, 60), Arc(0, 0, 1, 100, 60),
             Arc(0, 0, 1, 150, 60)},
            {Arc(0, 0, 1, 0, 210)});
}

// ---- host calls and host behaviours ----

std::vector<std::string> OnlyNamed(const std::vector<std::string>& calls,
                                   const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (const std::string& c : calls)
    if (std::find(names.begin(), names.end(), c.substr(0, c.find('('))) != names.end())
      out.push_back(c);
  return out;
}

class MergeCalls : public PluginTest {};

// The first merge ends the visit: the third line is not touched while the
// first is visited, and each visited line is deleted on the spot, flag false.
TEST_F(MergeCalls, FirstMergeEndsTheVisit) {
  const std::vector<ObjectHandle> h =
      Load({Line(0, 0, 10, 0), Line(5, 0, 15, 0), Line(8, 0, 20, 0)});
  ASSERT_EQ(RunCommand(kMerge), 0);
  const std::vector<std::string> names = OnlyNamed(host.CallNames(), {"SetLineEnds", "DeleteObject"});
  EXPECT_EQ(names, (std::vector<std::string>{"SetLineEnds", "DeleteObject", "SetLineEnds",
                                             "DeleteObject"}));
  EXPECT_EQ(OnlyNamed(host.CallTexts(), {"DeleteObject"}),
            (std::vector<std::string>{"DeleteObject(" + std::to_string(h[0]) + ", 0)",
                                      "DeleteObject(" + std::to_string(h[1]) + ", 0)"}));
  EXPECT_EQ(host.Objects(), std::vector<ObjectHandle>{h[2]});
}

TEST_F(MergeCalls, BooleansAnsweredAsTwoStillMerge) {
  host.settings.trueValue = 2;
  Attributes flagged;
  flagged.flags[3] = 2;  // flag D
  flagged.flags[4] = 2;  // flag E
  checkPass(kMerge,
            {WithAttr(Line(0, 0, 10, 0), flagged), WithAttr(Line(5, 0, 20, 0), flagged),
             WithAttr(Arc(0, 0, 1, 0, 90), flagged), WithAttr(Arc(0, 0, 1, 45, 135), flagged)},
            {WithAttr(Line(0, 0, 20, 0), flagged), WithAttr(Arc(0, 0, 1, 0, 180), flagged)});
}

// Without a geometry or bounds reader nothing can be compared, so nothing
// merges and nothing is deleted.
TEST_F(MergeCalls, MissingReadersLeaveTheDrawingAlone) {
  for (int32_t selector : {kSelGetLineEnds, kSelGetArcGeometry, kSelGetObjectBounds}) {
    SCOPED_TRACE(selector);
    for (ObjectHandle o : host.Objects()) host.Remove(o);
    host.SetMissing(kSelGetLineEnds, false);
    host.SetMissing(kSelGetArcGeometry, false);
    host.SetMissing(kSelGetObjectBounds, false);
    host.SetMissing(selector);
    const std::vector<Object> drawing = {Line(0, 0, 10, 0), Line(5, 0, 20, 0),
                                         Arc(0, 0, 1, 0, 90), Arc(0, 0, 1, 45, 135)};
    std::vector<Object> expected = drawing;
    if (selector == kSelGetLineEnds) expected = {drawing[0], drawing[1], Arc(0, 0, 1, 0, 180)};
    if (selector == kSelGetArcGeometry) expected = {Line(0, 0, 20, 0), drawing[2], drawing[3]};
    checkPass(kMerge, drawing, expected);
  }
}

}  // namespace
