// The fuzzer's coverage oracle: when it applies and what it reports.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "coverage/coverage_check.h"
#include "fuzz/coverage_oracle.h"
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

}  // namespace
