// Removal of objects drawn twice, through the real library and host: the
// earlier copy goes, the later one stays.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "hostapp/builders.h"
#include "support/plugin_fixture.h"

using namespace hostapp;

namespace {

using Names = std::vector<std::string>;

// The long attribute is not among the compared ones, so it tells copies
// apart without changing whether they match.
Object Tag(Object o, int32_t n) {
  o.attr.longAttr = n;
  return o;
}
Object WordA(Object o, int16_t v) {
  o.attr.wordA = v;
  return o;
}
Object RecordByte(Object o, int i, uint8_t v) {
  o.attr.record[i] = v;
  return o;
}
enum Flag { kA, kB, kC, kD, kE, kF };
Object WithFlag(Object o, Flag f, uint8_t v) {
  o.attr.flags[f] = v;
  return o;
}

const Object kLine = Line(0, 0, 5, 5);
const Object kSquare = Polyline({{0, 0}, {4, 0}, {4, 4}, {0, 4}}, true);
const Object kSquareType21 = Polyline({{0, 0}, {4, 0}, {4, 4}, {0, 4}}, true, 21);
const Object kSquareOtherStart = Polyline({{4, 0}, {4, 4}, {0, 4}, {0, 0}}, true, 21);
const Object kFace = Face15({0, 0, 0}, {1, 0, 0}, {1, 1, 1}, {0, 1, 1}, 7);

struct Case {
  const char* name;
  std::vector<Object> drawing;
  std::vector<Object> expected;  // none: the drawing stays as it is
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const Case kCases[] = {
    // Lines: either order of ends; only the last of identical copies stays.
    {"LineLaterCopySurvives", {Tag(kLine, 1), Tag(kLine, 2)}, {Tag(kLine, 2)}},
    {"LineReversedEnds", {Tag(kLine, 1), Line(5, 5, 0, 0)}, {Line(5, 5, 0, 0)}},
    {"LineThreeCopies", {Tag(kLine, 1), Tag(kLine, 2), Tag(kLine, 3)}, {Tag(kLine, 3)}},
    {"LineFoundPastOtherObjects",
     {Tag(kLine, 1), Arc(0, 0, 1, 0, 90), Line(0, 0, 5, 6), Tag(kLine, 2)},
     {Arc(0, 0, 1, 0, 90), Line(0, 0, 5, 6), Tag(kLine, 2)}},
    {"LineWithinEpsilon",
     {Tag(kLine, 1), Line(1e-14, 0, 5, 5 + 1e-13)},
     {Line(1e-14, 0, 5, 5 + 1e-13)}},
    {"LineBeyondEpsilonButWithinPointTolerance", {kLine, Line(0, 0, 5, 5 + 1e-9)}},
    {"LineSharingOneEnd", {kLine, Line(0, 0, 5, 0)}},
    {"LineAndPolylineNeverCompared", {kLine, Polyline({{0, 0}, {5, 5}})}},
    // Remembered attributes: bytes 0 and 1 of the record do not count, flags are bytes.
    {"WordADiffers", {kLine, WordA(kLine, 1)}},
    {"ClassDiffers", {kLine, InClass(kLine, 3)}},
    {"RecordByte0Ignored", {RecordByte(kLine, 0, 9), kLine}, {kLine}},
    {"RecordByte2Differs", {RecordByte(kLine, 2, 9), kLine}},
    {"FlagEOneAndTwoDiffer", {WithFlag(kLine, kE, 1), WithFlag(kLine, kE, 2)}},
    {"FlagANotCompared", {WithFlag(kLine, kA, 1), kLine}, {kLine}},
    // Bounds-only types.
    {"Type3SameBounds", {Tag(Box(3, 0, 2, 2, 0), 1), Box(3, 0, 2, 2, 0)}, {Box(3, 0, 2, 2, 0)}},
    {"Type4SameBounds", {Tag(Box(4, 0, 2, 2, 0), 1), Box(4, 0, 2, 2, 0)}, {Box(4, 0, 2, 2, 0)}},
    {"Type3AndType4NeverCompared", {Box(3, 0, 2, 2, 0), Box(4, 0, 2, 2, 0)}},
    {"Type3OtherBounds", {Box(3, 0, 2, 2, 0), Box(3, 0, 2, 3, 0)}},
    {"Type10SameBoundsAndValue",
     {Tag(Box10(0, 2, 2, 0, 5), 1), Box10(0, 2, 2, 0, 5)},
     {Box10(0, 2, 2, 0, 5)}},
    {"Type10OtherValue", {Box10(0, 2, 2, 0, 5), Box10(0, 2, 2, 0, 6)}},
    {"Type10OtherAttributes", {Box10(0, 2, 2, 0, 5), WordA(Box10(0, 2, 2, 0, 5), 1)}},
    // Vertex lists: types 5 and 21 are one kind; vertices in the same order.
    {"Type5ThenType21", {kSquare, kSquareType21}, {kSquareType21}},
    {"Type21ThenType5", {kSquareType21, Tag(kSquare, 1)}, {Tag(kSquare, 1)}},
    {"VerticesFromAnotherStart", {kSquare, kSquareOtherStart}},
    {"VertexCountDiffers", {kSquare, Polyline({{0, 0}, {2, 0}, {4, 0}, {4, 4}, {0, 4}}, true)}},
    {"VertexListAttributesDiffer", {kSquare, WordA(kSquare, 2)}},
    // Every vertex is compared, the last one too (same bounds, so only the
    // vertices tell them apart).
    {"OpenPolylinesDifferInTheirLastVertex",
     {Polyline({{0, 0}, {4, 0}, {4, 4}, {0, 4}}), Polyline({{0, 0}, {4, 0}, {4, 4}, {2, 4}})}},
    {"ClosedPolylinesDifferInTheirLastVertex", {kSquare, Polyline({{0, 0}, {4, 0}, {4, 4}, {2, 4}}, true)}},
    // Arcs: exact angles after a negative sweep is made positive.
    {"ArcIdentical", {Tag(Arc(1, 1, 2, 10, 80), 1), Arc(1, 1, 2, 10, 80)}, {Arc(1, 1, 2, 10, 80)}},
    {"ArcStart30And390", {Arc(0, 0, 1, 30, 90), Arc(0, 0, 1, 390, 90)}},
    {"ArcNegativeSweepVisited",
     {Arc(0, 0, 1, 120, -90), Tag(Arc(0, 0, 1, 30, 90), 2)},
     {Tag(Arc(0, 0, 1, 30, 90), 2)}},
    {"ArcNegativeSweepCandidateRewritten",
     {Arc(0, 0, 1, 30, 90), Tag(Arc(0, 0, 1, 120, -90), 2)},
     {Tag(Arc(0, 0, 1, 30, 90), 2)}},
    {"ArcLoneNegativeSweepRewritten", {Arc(0, 0, 1, 120, -90)}, {Arc(0, 0, 1, 30, 90)}},
    {"FullCirclesOtherStart", {Arc(0, 0, 1, 0, 360), Arc(0, 0, 1, 90, 360)}},
    {"ArcRadiiSwapped", {EllipticArc(0, 0, 2, 1, 0, 360), EllipticArc(0, 0, 1, 2, 0, 360)}},
    {"ArcOtherAttributes", {Arc(0, 0, 1, 0, 90), WordA(Arc(0, 0, 1, 0, 90), 1)}},
    // Points.
    {"Point9Same", {Tag(Point9(1, 2, 3), 1), Point9(1, 2, 3)}, {Point9(1, 2, 3)}},
    {"Point9OtherHeight", {Point9(1, 2, 3), Point9(1, 2, 4)}},
    {"Point9OtherAttributes", {Point9(1, 2, 3), WordA(Point9(1, 2, 3), 1)}},
    {"Point17Same", {Tag(Point17(1, 2), 1), Point17(1, 2)}, {Point17(1, 2)}},
    {"Point17Other", {Point17(1, 2), Point17(2, 1)}},
    {"Point17OtherAttributes", {Point17(1, 2), InClass(Point17(1, 2), 2)}},
    // Type 15: no attribute test, but the 32-bit value and point order count.
    {"Face15OtherAttributes",
     {kFace, WordA(WithFlag(kFace, kE, 1), 4)},
     {WordA(WithFlag(kFace, kE, 1), 4)}},
    {"Face15OtherValue", {kFace, Face15({0, 0, 0}, {1, 0, 0}, {1, 1, 1}, {0, 1, 1}, 8)}},
    {"Face15PointsRotated", {kFace, Face15({1, 0, 0}, {1, 1, 1}, {0, 1, 1}, {0, 0, 0}, 7)}},
    {"Face15FourthPointDiffers", {kFace, Face15({0, 0, 0}, {1, 0, 0}, {1, 1, 1}, {0, 1, 2}, 7)}},
    {"Poly3DNeverCompared", {Poly3D({{0, 0, 0}, {1, 1, 1}}), Poly3D({{0, 0, 0}, {1, 1, 1}})}},
};

class DuplicateCase : public PluginTest, public ::testing::WithParamInterface<Case> {};

TEST_P(DuplicateCase, EarlierCopyGoes) {
  const Case& c = GetParam();
  if (c.expected.empty())
    checkNoChange(OnlyPass(3), c.drawing);
  else
    checkPass(OnlyPass(3), c.drawing, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Drawings, DuplicateCase, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Types the pass has no rule for are never deleted, however alike.
class UnknownType : public PluginTest, public ::testing::WithParamInterface<int16_t> {};

TEST_P(UnknownType, IdenticalObjectsBothStay) {
  const Object box = Box(GetParam(), 0, 1, 1, 0);
  checkNoChange(OnlyPass(3), {box, box});
}

INSTANTIATE_TEST_SUITE_P(Types, UnknownType,
                         ::testing::Values<int16_t>(-1, 0, 1, 7, 8, 11, 12, 13, 14, 16, 18, 19, 20,
                                                    22, 100));

class Duplicates : public PluginTest {
 protected:
  // The routines the pass itself called: those between the pass's traversal
  // and the final sweep's.
  Names PassCalls() const {
    const Names all = host.CallNames();
    auto first = std::find(all.begin(), all.end(), "ForEachObject");
    if (first == all.end()) return {};
    auto last = std::find(first + 1, all.end(), "ForEachObject");
    return {first + 1, last};
  }
  size_t Count(const std::string& name) const {
    const Names calls = PassCalls();
    return std::count(calls.begin(), calls.end(), name);
  }
};

const Names kRemember = {"GetObjectWordAttrA", "GetObjectClass", "GetObjectAttrRecord",
                         "GetObjectWordAttrB", "GetObjectFlagE", "GetObjectFlagD"};

Names Concat(std::initializer_list<Names> parts) {
  Names out;
  for (const Names& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST_F(Duplicates, UnknownTypeRemembersAttributesAndLooksNoFurther) {
  Load({Box(7, 0, 1, 1, 0), Box(7, 0, 1, 1, 0)});
  ASSERT_EQ(RunCommand(OnlyPass(3)), 0);
  EXPECT_EQ(PassCalls(), Concat({{"GetObjectType"}, kRemember, {"GetObjectType"}, kRemember}));
}

TEST_F(Duplicates, Type10ReadsValueBeforeBoundsForTheVisitedAndAfterForTheCandidate) {
  Load({Box10(0, 2, 2, 0, 5), Box10(0, 2, 2, 0, 5)});
  ASSERT_EQ(RunCommand(OnlyPass(3)), 0);
  const Names visitFirst = Concat({{"GetObjectType"},
                                   kRemember,
                                   {"GetObjectLongAttrB", "GetObjectBounds", "NextObject",
                                    "GetObjectType", "GetObjectBounds", "GetObjectLongAttrB"},
                                   kRemember,
                                   {"DeleteObject"}});
  const Names visitSecond = Concat(
      {{"GetObjectType"}, kRemember, {"GetObjectLongAttrB", "GetObjectBounds", "NextObject"}});
  EXPECT_EQ(PassCalls(), Concat({visitFirst, visitSecond}));
  const Names texts = host.CallTexts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "DeleteObject(1, 0)"), texts.end());
}

TEST_F(Duplicates, FailedGeometryTestReadsNoCandidateAttributes) {
  Load({kLine, Line(0, 0, 5, 6), Point17(0, 0), Point17(1, 0)});
  ASSERT_EQ(RunCommand(OnlyPass(3)), 0);
  // One snapshot per visited object, and no comparison at all.
  EXPECT_EQ(Count("GetObjectWordAttrA"), 4u);
  EXPECT_EQ(Count("DeleteObject"), 0u);
}

TEST_F(Duplicates, Face15CandidateIsNeverAttributeTested) {
  Load({kFace, WordA(kFace, 3)});
  ASSERT_EQ(RunCommand(OnlyPass(3)), 0);
  EXPECT_EQ(Count("GetObjectWordAttrA"), 2u);  // the two snapshots only
  EXPECT_EQ(Count("DeleteObject"), 1u);
}

// A candidate arc is read through ArcInfo (and so possibly rewritten) only
// once its bounds and attributes match.
struct ArcReads {
  const char* name;
  std::vector<Object> drawing;
  size_t geometryReads;
};

void PrintTo(const ArcReads& c, std::ostream* os) { *os << c.name; }

class ArcCandidate : public PluginTest, public ::testing::WithParamInterface<ArcReads> {};

TEST_P(ArcCandidate, ReadOnlyAfterBoundsAndAttributesMatch) {
  Load(GetParam().drawing);
  ASSERT_EQ(RunCommand(OnlyPass(3)), 0);
  const Names all = host.CallNames();
  EXPECT_EQ(static_cast<size_t>(std::count(all.begin(), all.end(), "GetArcGeometry")),
            GetParam().geometryReads);
}

INSTANTIATE_TEST_SUITE_P(
    Arcs, ArcCandidate,
    ::testing::Values(
        ArcReads{"OtherBounds", {Arc(0, 0, 1, 0, 90), Arc(5, 0, 1, 0, 90)}, 2},
        ArcReads{"OtherAttributes", {Arc(0, 0, 1, 0, 90), WordA(Arc(0, 0, 1, 0, 90), 1)}, 2},
        ArcReads{"SameBoundsOtherStart", {Arc(0, 0, 1, 0, 360), Arc(0, 0, 1, 90, 360)}, 3},
        ArcReads{"Duplicate", {Arc(0, 0, 1, 0, 90), Arc(0, 0, 1, 0, 90)}, 3}),
    [](const auto& info) { return std::string(info.param.name); });

// Geometry a host routine cannot give never makes two copies alike.
struct MissingRoutine {
  const char* name;
  int32_t selector;
  Object object;
};

void PrintTo(const MissingRoutine& c, std::ostream* os) { *os << c.name; }

class HostWithout : public PluginTest, public ::testing::WithParamInterface<MissingRoutine> {};

TEST_P(HostWithout, CopiesItCannotCompareStay) {
  host.SetMissing(GetParam().selector);
  checkNoChange(OnlyPass(3), {GetParam().object, GetParam().object});
}

INSTANTIATE_TEST_SUITE_P(
    Routines, HostWithout,
    ::testing::Values(MissingRoutine{"BoundsOfType3", kSelGetObjectBounds, Box(3, 0, 1, 1, 0)},
                      MissingRoutine{"BoundsOfType10", kSelGetObjectBounds, Box10(0, 1, 1, 0, 4)},
                      MissingRoutine{"LineEnds", kSelGetLineEnds, kLine},
                      MissingRoutine{"Vertex", kSelGetVertex, kSquare},
                      MissingRoutine{"Points3D", kSelGetObjectPoints3D, kFace},
                      MissingRoutine{"Point3D", kSelGetObjectPoint3D, Point9(1, 1, 1)},
                      MissingRoutine{"Point", kSelGetObjectPoint, Point17(1, 1)},
                      // Every object reads as type 0, which has no rule.
                      MissingRoutine{"Type", kSelGetObjectType, kLine}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Duplicates, WithoutBoundsLinesAndVerticesAreStillCompared) {
  host.SetMissing(kSelGetObjectBounds);
  checkPass(OnlyPass(3), {Tag(kLine, 1), kSquare, kSquareOtherStart, kLine, kSquareType21},
            {kSquareOtherStart, kLine, kSquareType21});
}

TEST_F(Duplicates, TrueAnsweredAsTwoStillMatchesEqualFlags) {
  host.settings.trueValue = 2;
  const Object flagged = WithFlag(WithFlag(kLine, kE, 2), kD, 2);
  checkPass(OnlyPass(3), {Tag(flagged, 1), flagged, kLine}, {flagged, kLine});
}

TEST_F(Duplicates, FlagOffLeavesCopies) {
  checkNoChange(Options{}, {Line(0, 0, 9, 9), Line(0, 0, 9, 9)});
}

}  // namespace
