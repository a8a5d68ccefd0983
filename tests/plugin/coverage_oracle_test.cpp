// The fuzzer's coverage oracle and its noisy drawings: when the oracle applies
// and what it reports, and that each noisy group draws what it stands for
// (pieces that cover their line, arcs that miss a turn by the chosen amount).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "coverage/coverage_check.h"
#include "fuzz/coverage_oracle.h"
#include "fuzz/drawing_input.h"
#include "hostapp/builders.h"
#include "hostapp/host.h"

namespace {

using hostapp::Host;
using hostapp::Object;

// ---- when the oracle applies ----

struct RulesCase {
  const char* name;
  std::function<void(Host&, runaudit::RunFacts&)> setUp;
  bool applies;
  double point = 0, size = 0;  // expected world tolerances when it applies
};

void PrintTo(const RulesCase& c, std::ostream* os) { *os << c.name; }

// A sound run: join and merge on, tolerances 0.5 and 0.01.
runaudit::RunFacts SoundFacts() {
  runaudit::RunFacts f;
  f.flags[4] = 1;
  f.flags[6] = 1;
  f.tolerance1 = 0.5;
  f.tolerance2 = 0.01;
  return f;
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

const RulesCase kRulesCases[] = {
    {"SoundHost", [](Host&, runaudit::RunFacts&) {}, true, 0.5, 0.01},
    {"BooleansAnsweredAsTwo", [](Host& h, runaudit::RunFacts&) { h.settings.trueValue = 2; }, true, 0.5, 0.01},
    {"ConversionsGiveNewHandles", [](Host& h, runaudit::RunFacts&) { h.settings.convertInPlace = false; }, true, 0.5,
     0.01},
    {"WorldScaleConvertsBoth", [](Host& h, runaudit::RunFacts&) { h.settings.worldScale = 4; }, true, 2.0, 0.04},
    {"ZeroTolerances", [](Host&, runaudit::RunFacts& f) { f.tolerance1 = f.tolerance2 = 0; }, true, 0, 0},
    {"MissingRoutine", [](Host&, runaudit::RunFacts& f) { f.missingRoutines = 1; }, false},
    {"LinesNotCreated", [](Host& h, runaudit::RunFacts&) { h.settings.createLineFails = true; }, false},
    {"PolylinesNotCreated", [](Host& h, runaudit::RunFacts&) { h.settings.createPolylineFails = true; }, false},
    {"ConversionRefused", [](Host& h, runaudit::RunFacts&) { h.settings.convertToPolylineFails = true; }, false},
    {"Type5ConversionRefused", [](Host& h, runaudit::RunFacts&) { h.settings.convertToType5Fails = true; }, false},
    {"ClassNotCreated", [](Host& h, runaudit::RunFacts&) { h.settings.addClassFails = true; }, false},
    {"BlockNotAllocated", [](Host& h, runaudit::RunFacts&) { h.settings.allocateFails = true; }, false},
    {"NegativeTolerance", [](Host&, runaudit::RunFacts& f) { f.tolerance1 = -0.5; }, false},
    {"NaNSizeTolerance", [](Host&, runaudit::RunFacts& f) { f.tolerance2 = kNaN; }, false},
    {"InfiniteWorldScale",
     [](Host& h, runaudit::RunFacts&) { h.settings.worldScale = std::numeric_limits<double>::infinity(); }, false},
    {"NegativeScaleTimesNegativeTolerances",
     [](Host& h, runaudit::RunFacts& f) {
       h.settings.worldScale = -1;
       f.tolerance1 = -0.5;
       f.tolerance2 = -0.01;
     },
     true, 0.5, 0.01},
};

class OracleRules : public ::testing::TestWithParam<RulesCase> {};

TEST_P(OracleRules, AppliesOnlyWhereNothingLostMustHold) {
  const RulesCase& c = GetParam();
  Host host;
  runaudit::RunFacts facts = SoundFacts();
  c.setUp(host, facts);
  const std::optional<coverage::Rules> rules = runaudit::CoverageRules(host, facts);
  ASSERT_EQ(rules.has_value(), c.applies);
  if (!rules) return;
  EXPECT_DOUBLE_EQ(rules->pointTolerance, c.point);
  EXPECT_DOUBLE_EQ(rules->sizeTolerance, c.size);
  for (int f = 0; f < runaudit::kOptionFlags; ++f) EXPECT_EQ(rules->passes[size_t(f)], f == 4 || f == 6) << f;
}

INSTANTIATE_TEST_SUITE_P(Hosts, OracleRules, ::testing::ValuesIn(kRulesCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OracleRules, AStoppedRunRanNoPass) {
  Host host;
  runaudit::RunFacts facts = SoundFacts();
  facts.result = 1;
  const std::optional<coverage::Rules> rules = runaudit::CoverageRules(host, facts);
  ASSERT_TRUE(rules.has_value());
  for (bool on : rules->passes) EXPECT_FALSE(on);
}

// ---- what it reports ----

TEST(OracleProblems, NamesLostAndAddedStretchesByHandle) {
  Host host;
  const ObjectHandle kept = host.Add(hostapp::Line(0, 0, 10, 0));
  const ObjectHandle lost = host.Add(hostapp::Line(0, 5, 4, 5));
  const runaudit::Snapshot before = runaudit::Take(host);
  host.Remove(lost);
  const ObjectHandle added = host.Add(hostapp::Line(0, -3, 2, -3));
  // Left in the marker class, a working object is no part of the drawing.
  host.Add(hostapp::InClass(hostapp::Line(50, 50, 60, 60), host.ClassNamed(hostapp::ResourceText(11003, 11))));

  const std::vector<std::string> lines = runaudit::CoverageProblems(before, host, coverage::Rules{});
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "lost 4 long from (0, 5) to (4, 5) of object " + std::to_string(lost) + " (type 2)");
  EXPECT_EQ(lines[1], "drawn anew 2 long from (0, -3) to (2, -3) by object " + std::to_string(added) + " (type 2)");
  EXPECT_NE(kept, lost);
}

TEST(OracleProblems, CountsThePlacesPastTheLimit) {
  Host host;
  for (int i = 0; i < 5; ++i) host.Add(hostapp::Line(0, 10.0 * i, 1, 10.0 * i));
  const runaudit::Snapshot before = runaudit::Take(host);
  for (ObjectHandle h : host.Objects()) host.Remove(h);
  const std::vector<std::string> lines = runaudit::CoverageProblems(before, host, coverage::Rules{}, 3);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[3], "... and 2 more places");
}

// ---- noisy drawings ----

// The decoded drawing of a noisy input: header bytes (all passes on,
// tolerances 0.001) and the groups given.
struct Decoded {
  std::vector<Object> objects;
  drawinginput::Options options;
  Host::Settings settings;
  runaudit::RunFacts facts;
};

Decoded DecodeNoisy(std::vector<uint8_t> groups, std::vector<uint8_t> header = {0, 0, 0, 0, 0}) {
  std::vector<uint8_t> bytes = {drawinginput::noisy::kMagic};
  bytes.insert(bytes.end(), header.begin(), header.end());
  bytes.insert(bytes.end(), groups.begin(), groups.end());
  Host host;
  Decoded d;
  drawinginput::Decode(bytes.data(), bytes.size(), host, d.options, d.facts);
  for (ObjectHandle h : host.Objects()) d.objects.push_back(host.Get(h));
  d.settings = host.settings;
  return d;
}

// Both ways within `tolerance`: each draws no more and no less than the other.
void ExpectSameDrawing(const std::vector<Object>& a, const std::vector<Object>& b, double tolerance) {
  coverage::Rules rules;
  rules.pointTolerance = tolerance;
  const coverage::Report r = coverage::CheckCoverage(a, b, rules);
  for (const coverage::Stretch& s : r.missing) ADD_FAILURE() << "not drawn: " << coverage::Describe(s);
  for (const coverage::Stretch& s : r.added) ADD_FAILURE() << "drawn beyond: " << coverage::Describe(s);
}

struct GroupCase {
  const char* name;
  std::vector<uint8_t> groups;
  size_t objects;
  std::vector<Object> whole;  // what the pieces together draw
};

void PrintTo(const GroupCase& c, std::ostream* os) { *os << c.name; }

// Groups at the origin: after the kind byte, place bytes 0, 16, 16.
const double kDiagonal = 8 * std::sqrt(0.5);
const GroupCase kGroupCases[] = {
    // kind 0: size 1 times 8, at 45 degrees, 7 pieces, noise 1e-6
    {"LineCutEvenly", {0x00, 0, 16, 16, 3, 7, 1, 5, 2, 0x34, 0x12}, 7, {hostapp::Line(0, 0, kDiagonal, kDiagonal)}},
    {"LineCutAtRandom", {0x08, 0, 16, 16, 3, 7, 1, 5, 2, 0x35, 0x12}, 7, {hostapp::Line(0, 0, kDiagonal, kDiagonal)}},
    {"LineAsListsAndLines", {0x10, 0, 16, 16, 3, 7, 2, 6, 2, 0x36, 0x12}, 8, {hostapp::Line(0, 0, 0, 8)}},
    {"LineAs3DListsToo", {0x20, 0, 16, 16, 3, 7, 0, 6, 2, 0x37, 0x12}, 8, {hostapp::Line(0, 0, 8, 0)}},
    // kind 1: radius 2.5, 4 pieces, noise 1e-6, from 90 degrees
    {"CircleCutEvenly", {0x01, 0, 16, 16, 4, 3, 2, 2, 0x11, 0x22}, 4, {hostapp::Arc(0, 0, 2.5, 0, 360)}},
    {"EllipseCutAtRandom",
     {0x19, 0, 16, 16, 4, 1, 5, 2, 2, 0x12, 0x22},
     6,
     {hostapp::EllipticArc(0, 0, 2.5, 5, 0, 360)}},
};

class NoisyGroup : public ::testing::TestWithParam<GroupCase> {};

TEST_P(NoisyGroup, PiecesDrawTheWholeAndNoMore) {
  const GroupCase& c = GetParam();
  const Decoded d = DecodeNoisy(c.groups);
  ASSERT_EQ(d.objects.size(), c.objects);
  // The noise moves each coordinate by at most 1e-6.
  ExpectSameDrawing(d.objects, c.whole, 2e-6);
}

INSTANTIATE_TEST_SUITE_P(Groups, NoisyGroup, ::testing::ValuesIn(kGroupCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NoisyInput, NearFullArcsMissOneTurnByTheChosenAmount) {
  // kind 2: radius 10 from 0 degrees; variant bits: ellipse, past, backwards.
  struct Turn {
    uint8_t variant;
    uint8_t miss;  // index: 1e-6 .. 1e-12
    double sweep;
  };
  for (const Turn& t : {Turn{0, 0, 360 - 1e-6}, Turn{2, 6, 360 + 1e-12}, Turn{4, 3, -(360 - 1e-9)},
                        Turn{7, 1, -(360 + 1e-7)}}) {
    std::vector<uint8_t> group = {uint8_t(2 | t.variant << 3), 0, 16, 16, 5};
    if (t.variant & 1) group.push_back(0);  // half as tall
    group.push_back(0);
    group.push_back(t.miss);
    const Decoded d = DecodeNoisy(group);
    ASSERT_EQ(d.objects.size(), 1u);
    EXPECT_EQ(d.objects[0].sweepDeg, t.sweep) << int(t.variant);
    EXPECT_EQ(d.objects[0].vRadius, (t.variant & 1) ? 5.0 : 10.0);
  }
}

TEST(NoisyInput, CopiesAreNudgedOffTheirOriginalWithinTheNoise) {
  // A line of four pieces, then a reversed copy of piece 2 with noise 1e-5.
  const Decoded d = DecodeNoisy({0x00, 0, 16, 16, 3, 3, 0, 2, 1, 9, 0, 0x0d, 2, 1, 0x44, 0x00});
  ASSERT_EQ(d.objects.size(), 5u);
  const Object &original = d.objects[2], &copy = d.objects[4];
  ASSERT_EQ(copy.type, 2);
  EXPECT_FALSE(runaudit::Identical(original, copy));
  EXPECT_NEAR(copy.second.x, original.first.x, 1e-5);
  EXPECT_NEAR(copy.first.x, original.second.x, 1e-5);
  ExpectSameDrawing({original}, {copy}, 2e-5);
}

TEST(NoisyInput, HeaderSetsTolerancesPassesAndHost) {
  // Point tolerance 0.1, size 1, new objects at the end, new handles,
  // booleans as 2; passes 1 and 8 off (bits common to both words).
  const Decoded d = DecodeNoisy({}, {0xee, 0x02, 0x81, 0x03, 0x01});
  double t1 = 0, t2 = 0;
  std::memcpy(&t1, d.options + drawinginput::kTolerance1Offset, sizeof t1);
  std::memcpy(&t2, d.options + drawinginput::kTolerance2Offset, sizeof t2);
  EXPECT_EQ(t1, 0.1);
  EXPECT_EQ(t2, 1.0);
  for (int f = 0; f < runaudit::kOptionFlags; ++f) EXPECT_EQ(d.options[f], (f == 1 || f == 8) ? 0 : 1) << f;
  EXPECT_EQ(d.settings.newObjects, Host::NewObjectPlace::kAtEnd);
  EXPECT_FALSE(d.settings.convertInPlace);
  EXPECT_EQ(d.settings.trueValue, 2);
  EXPECT_EQ(d.settings.newPolylineType, 21);
}

// Whatever the bytes, a noisy input is a run the oracle judges: no fault,
// usable tolerances, finite geometry, no more objects than the cap.
TEST(NoisyInput, EveryInputIsOneTheOracleJudges) {
  std::mt19937 rng(20240611);
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> bytes(1 + rng() % 120);
    for (uint8_t& b : bytes) b = uint8_t(rng());
    bytes[0] = drawinginput::noisy::kMagic;
    Host host;
    drawinginput::Options options;
    runaudit::RunFacts facts;
    drawinginput::Decode(bytes.data(), bytes.size(), host, options, facts);
    std::memcpy(&facts.tolerance1, options + drawinginput::kTolerance1Offset, sizeof facts.tolerance1);
    std::memcpy(&facts.tolerance2, options + drawinginput::kTolerance2Offset, sizeof facts.tolerance2);
    ASSERT_TRUE(runaudit::CoverageRules(host, facts).has_value()) << round;
    ASSERT_LE(host.ObjectCount(), drawinginput::kMaxObjects);
    for (ObjectHandle h : host.Objects()) {
      const HostWorldRect r = host.BoundsOf(h);
      ASSERT_TRUE(std::isfinite(r.left) && std::isfinite(r.right) && std::isfinite(r.top) &&
                  std::isfinite(r.bottom))
          << "round " << round << ", object type " << host.Get(h).type;
    }
  }
}

}  // namespace
