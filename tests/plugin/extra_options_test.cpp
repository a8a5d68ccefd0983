// Options beyond the nine flags, through the real library and host: which
// properties keep objects apart, and rounds of passes until nothing changes.
// With the options off the written passes run as ever; the other tests of
// this folder pin that.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <random>

#include "fuzz/coverage_oracle.h"
#include "fuzz/drawing_input.h"
#include "hostapp/builders.h"
#include "support/plugin_fixture.h"

using namespace hostapp;

namespace {

constexpr int kDuplicates = 3, kOverlaps = 4;

Object Styled(Object o, std::function<void(Object&)> f) {
  f(o);
  return o;
}
Object Colour(Object o, int16_t v) {
  return Styled(o, [v](Object& x) { x.attr.wordA = v; });
}
Object Weight(Object o, int16_t v) {
  return Styled(o, [v](Object& x) { x.attr.wordB = v; });
}
Object Linetype(Object o, uint8_t v) {
  return Styled(o, [v](Object& x) { x.attr.record[2] = v; });
}

struct Case {
  const char* name;
  Options options;
  std::vector<Object> drawing;
  std::vector<Object> expected;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

Options Pass(int flag, std::initializer_list<ExtraIndex> extra = {}) {
  return WithExtra(OnlyPass(flag), extra);
}
// Duplicates, then vertex clean-up.
Options DuplicatesAndCleanUp(std::initializer_list<ExtraIndex> extra = {}) {
  Options o = Pass(kDuplicates, extra);
  o.flags[5] = 1;
  return o;
}

const Object kLine = Line(0, 0, 10, 0);

const Case kIgnoreCases[] = {
    // Copies that differ in one property: kept apart unless it is ignored,
    // and then the later copy stays with its own attributes.
    {"ColourKeepsCopiesApart", Pass(kDuplicates), {Colour(kLine, 1), Colour(kLine, 2)},
     {Colour(kLine, 1), Colour(kLine, 2)}},
    {"ColourIgnored", Pass(kDuplicates, {kXIgnoreColour}), {Colour(kLine, 1), Colour(kLine, 2)},
     {Colour(kLine, 2)}},
    {"LineweightIgnored", Pass(kDuplicates, {kXIgnoreLineweight}), {Weight(kLine, 25), Weight(kLine, 50)},
     {Weight(kLine, 50)}},
    {"LinetypeIgnored", Pass(kDuplicates, {kXIgnoreLinetype}), {Linetype(kLine, 1), Linetype(kLine, 2)},
     {Linetype(kLine, 2)}},
    {"OnlyTheIgnoredOne", Pass(kDuplicates, {kXIgnoreColour}),
     {Weight(Colour(kLine, 1), 25), Weight(Colour(kLine, 2), 50)},
     {Weight(Colour(kLine, 1), 25), Weight(Colour(kLine, 2), 50)}},
    {"OverlapsOfTwoColoursMerge", Pass(kOverlaps, {kXIgnoreColour}),
     {Colour(Line(0, 0, 6, 0), 1), Colour(Line(4, 0, 10, 0), 2)}, {Colour(Line(0, 0, 10, 0), 2)}},
};

// Vertex clean-up turns a straight three-vertex polyline into a line after
// the duplicate pass has run: only a second round finds its twin.
const Object kStraightPolyline = Polyline({{0, 0}, {5, 0}, {10, 0}});

const Case kRepeatCases[] = {
    {"OneRoundLeavesTheTwin", DuplicatesAndCleanUp(), {kLine, kStraightPolyline}, {kLine, kLine}},
    {"RepeatFindsIt", DuplicatesAndCleanUp({kXRepeat}), {kLine, kStraightPolyline}, {kLine}},
    {"NothingToDoIsOneRound", DuplicatesAndCleanUp({kXRepeat}), {kLine, Line(0, 1, 10, 1)},
     {kLine, Line(0, 1, 10, 1)}},
};

// Near copies at tolerance 0.1: the later one stays, and what it stands for
// never lies further than the tolerance from it.
Options Near(std::initializer_list<ExtraIndex> extra = {kXNear}) {
  Options o = Pass(kDuplicates, extra);
  o.tolerance1 = 0.1;
  return o;
}
const Object kSquare = Polyline({{0, 0}, {4, 0}, {4, 4}, {0, 4}}, true);
const Object kSquareNoisyOtherStartReversed =
    Polyline({{4.04, 4}, {4, 0.03}, {0.0000001, 0}, {0, 4.05}}, true);

const Case kNearCases[] = {
    {"ExactOnlyWithoutTheOption", Near({kXRepeat}), {kLine, Line(0, 0.05, 10, 0.05)},
     {kLine, Line(0, 0.05, 10, 0.05)}},
    {"LineHalfTheToleranceAway", Near(), {kLine, Line(0, 0.05, 10, 0.05)}, {Line(0, 0.05, 10, 0.05)}},
    {"LineReversedAndNoisy", Near(), {kLine, Line(10.03, 1e-7, 0, -0.04)}, {Line(10.03, 1e-7, 0, -0.04)}},
    {"LineTwiceTheToleranceAway", Near(), {kLine, Line(0, 0.2, 10, 0.2)}, {kLine, Line(0, 0.2, 10, 0.2)}},
    {"ChainStopsWhereTheToleranceIsSpent", Near(),
     {kLine, Line(0, 0.06, 10, 0.06), Line(0, 0.12, 10, 0.12)},
     {Line(0, 0.06, 10, 0.06), Line(0, 0.12, 10, 0.12)}},
    {"CircleOffByCentreAndRadius", Near(), {Arc(0, 0, 5, 0, 360), Arc(0.03, 0, 5.03, 90, 360)},
     {Arc(0.03, 0, 5.03, 90, 360)}},
    {"FullTurnWrittenLong", Near(), {Arc(0, 0, 5, 0, 360.0000000001), Arc(0, 0, 5, 0, 360)},
     {Arc(0, 0, 5, 0, 360)}},
    {"ArcsOfOtherSweepsStay", Near(), {Arc(0, 0, 5, 0, 90), Arc(0, 0, 5, 0, 100)},
     {Arc(0, 0, 5, 0, 90), Arc(0, 0, 5, 0, 100)}},
    {"ClosedFromAnyStartEitherWay", Near(), {kSquare, kSquareNoisyOtherStartReversed},
     {kSquareNoisyOtherStartReversed}},
    {"OpenGoesBeforeClosed", Near(), {Polyline({{0, 0}, {4, 0}, {4, 4}, {0, 4}}), kSquare}, {kSquare}},
    // The closing edge is drawn by the closed copy alone, with or without the option.
    {"ClosedStaysBeforeExactOpenCopy", Pass(kDuplicates), {kSquare, Polyline({{0, 0}, {4, 0}, {4, 4}, {0, 4}})},
     {kSquare, Polyline({{0, 0}, {4, 0}, {4, 4}, {0, 4}})}},
    {"ClosedStaysBeforeOpen", Near(), {kSquare, Polyline({{0, 0}, {4, 0}, {4, 4}, {0, 4}})},
     {kSquare, Polyline({{0, 0}, {4, 0}, {4, 4}, {0, 4}})}},
};

Options NearOverlaps() {
  Options o = Pass(kOverlaps, {kXNear});
  o.tolerance1 = 0.1;
  return o;
}

// Overlapping and touching pieces within the tolerance merge into the later
// one, which keeps its own line or circle.
const Case kNearOverlapCases[] = {
    {"LinesOverlapNearlyOnOneLine", NearOverlaps(), {Line(0, 0, 6, 0), Line(4, 0.05, 10, 0.05)},
     {Line(0, 0.05, 10, 0.05)}},
    {"GapWithinTheToleranceCloses", NearOverlaps(), {Line(0, 0, 5, 0), Line(5.05, 0, 10, 0)},
     {Line(0, 0, 10, 0)}},
    {"ParallelLinesApartStay", NearOverlaps(), {Line(0, 0, 6, 0), Line(4, 0.2, 10, 0.2)},
     {Line(0, 0, 6, 0), Line(4, 0.2, 10, 0.2)}},
    {"ShorterLaterLineGrows", NearOverlaps(), {Line(0, 0, 10, 0), Line(10, 0.03, 2, 0.03)},
     {Line(10, 0.03, 0, 0.03)}},
    {"ArcsOfNearlyOneCircle", NearOverlaps(), {Arc(0, 0, 5, 0, 90), Arc(0.02, 0, 5.02, 45, 90)},
     {Arc(0.02, 0, 5.02, 0, 135)}},
};

// Noisy drawings (pieces of lines and circles nudged apart, near copies,
// noise of 1e-7) with passes and the options beyond them drawn at random:
// wherever the passes alone lose nothing, nothing drawn before may lie
// further than the tolerance from what is drawn after with the options on,
// however many near matches chain and rounds repeat.
// Each table: the drawing after the run, from the drawing before it.
class ExtraOptionCases : public PluginTest, public ::testing::WithParamInterface<Case> {};

TEST_P(ExtraOptionCases, DrawingAfterTheRun) {
  const Case& c = GetParam();
  checkPass(c.options, c.drawing, c.expected);
}
INSTANTIATE_TEST_SUITE_P(IgnoredProperties, ExtraOptionCases, ::testing::ValuesIn(kIgnoreCases),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(RepeatedRounds, ExtraOptionCases, ::testing::ValuesIn(kRepeatCases),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(NearOverlapsMerge, ExtraOptionCases, ::testing::ValuesIn(kNearOverlapCases),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(NearCopies, ExtraOptionCases, ::testing::ValuesIn(kNearCases),
                         [](const auto& info) { return std::string(info.param.name); });

class NearCoverage : public PluginTest {
 protected:
  // Runs the noisy input; the coverage check's findings.
  std::vector<std::string> Problems(const std::vector<uint8_t>& bytes) {
    for (ObjectHandle h : host.Objects()) host.Remove(h);
    drawinginput::Options options;
    runaudit::RunFacts facts;
    drawinginput::Decode(bytes.data(), bytes.size(), host, options, facts);
    const runaudit::Snapshot before = runaudit::Take(host);
    drawinginput::RunCommand(host, options, facts);
    const auto rules = runaudit::CoverageRules(host, facts);
    if (!rules) return {"no rules"};
    auto problems = runaudit::CoverageProblems(before, host, *rules, 5);
    return problems;
  }
};

TEST_F(NearCoverage, NothingDrawnIsLostOrDrawnAnew) {
  std::mt19937 rng(20261209);
  int compared = 0;
  for (int round = 0; round < 150; ++round) {
    std::vector<uint8_t> bytes(8 + rng() % 160);
    for (uint8_t& b : bytes) b = uint8_t(rng());
    bytes[0] = drawinginput::noisy::kMagicWithOptions;
    bytes[1] = (bytes[1] & 0x78) | 5;  // near and repeat on; ignored properties as drawn
    std::vector<uint8_t> without(bytes.begin() + 1, bytes.end());
    without[0] = drawinginput::noisy::kMagic;
    if (!Problems(without).empty()) continue;
    ++compared;
    const std::vector<std::string> problems = Problems(bytes);
    for (const std::string& p : problems) ADD_FAILURE() << "round " << round << ": " << p;
    if (!problems.empty()) {
      std::string hex;
      for (uint8_t b : bytes) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
      ADD_FAILURE() << "input " << hex;
      break;
    }
  }
  EXPECT_GT(compared, 100);
}

class Rounds : public PluginTest {};

// A round that changes nothing ends the run; each round but the last ends
// with a sweep of what it marked.
TEST_F(Rounds, TraversalsPerRound) {
  struct Row {
    std::vector<Object> drawing;
    int traversals;  // duplicates and clean-up each round, a sweep after each
  } rows[] = {
      {{kLine, Line(0, 1, 10, 1)}, 3},
      {{kSquare}, 3},  // clean-up has the host refresh it: no change
      {{kLine, kStraightPolyline}, 9},  // changes in rounds 1 and 2, none in 3
  };
  for (const Row& row : rows) {
    for (ObjectHandle h : host.Objects()) host.Remove(h);
    Load(row.drawing);
    host.ClearCalls();
    ASSERT_EQ(RunCommand(DuplicatesAndCleanUp({kXRepeat})), 0);
    int traversals = 0;
    for (const auto& call : host.Calls()) traversals += call.selector == kSelForEachObject;
    EXPECT_EQ(traversals, row.traversals);
  }
}

// A block without its tag is as if every option were off, whatever it holds.
TEST_F(Rounds, UntaggedBlockMeansEveryOptionOff) {
  Load({Colour(kLine, 1), Colour(kLine, 2)});
  host.SendAction(kActionSetUp);
  uint8_t* block = host.SettingsBlock();
  ASSERT_NE(block, nullptr);
  block[3] = 1;                                     // duplicates
  std::memset(block + kExtraNear, 1, kExtraOptionCount);  // every option, but no tag
  block[kExtraBlockOffset] = 'x';
  ASSERT_EQ(host.SendAction(kActionRun), 0);
  host.SendAction(kActionTearDown);
  host.userData = nullptr;
  EXPECT_EQ(Drawing().size(), 2u);
}

}  // namespace
