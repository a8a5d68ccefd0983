// Vertex counts at the 16-bit limit: a join that would take a polyline past
// 32,767 vertices, and an object whose vertex count reads negative.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostapp/builders.h"
#include "support/plugin_fixture.h"

namespace {

using hostapp::Object;
using hostapp::V;

constexpr int kMaxVertexCount = 32767;

// A zigzag (no three consecutive corners collinear) of n vertices from x0,
// so no clean-up drops a corner and a joined result is easy to predict.
Object Zigzag(int x0, int n, int16_t type = 5) {
  std::vector<V> vs;
  vs.reserve(n);
  for (int i = 0; i < n; ++i) vs.push_back(V{double(x0 + i), double((x0 + i) % 2)});
  return hostapp::Polyline(vs, false, type);
}

class Limits : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    host.settings.logCalls = false;  // hundreds of thousands of vertex calls
  }
};

// Two chains that meet end to end: joined while the result fits in 16 bits,
// both kept as they are once it would not.
struct ChainCase {
  const char* name;
  int first, second;
};

class ChainAtLimit : public Limits, public ::testing::WithParamInterface<ChainCase> {};

TEST_P(ChainAtLimit, JoinsOnlyWhatFits) {
  const ChainCase& c = GetParam();
  const Object a = Zigzag(0, c.first), b = Zigzag(c.first - 1, c.second);
  // The two sides are merged before the doubled seed vertex is tidied away,
  // so the limit applies to the sum of both counts.
  const bool fits = c.first + c.second <= kMaxVertexCount;
  if (fits)
    checkPass(OnlyPass(6), {a, b}, {Zigzag(0, c.first + c.second - 1)});
  else
    checkNoChange(OnlyPass(6), {a, b});
}

INSTANTIATE_TEST_SUITE_P(Chains, ChainAtLimit,
                         ::testing::Values(ChainCase{"SmallJoin", 5, 4},
                                           ChainCase{"ExactlyFull", 16384, 16383},
                                           ChainCase{"OneTooMany", 16384, 16384},
                                           ChainCase{"FarPast", 20000, 20000}),
                         [](const auto& info) { return std::string(info.param.name); });

// A seed that is already full cannot take even one more vertex: a touching
// line is left alone, and so is the seed.
TEST_F(Limits, FullSeedKeepsItselfAndItsPartner) {
  checkNoChange(OnlyPass(6), {Zigzag(0, kMaxVertexCount), hostapp::Line(32766, 0, 32800, 5)});
}

// ---- a vertex count that reads negative ----

// The host answers GetVertexCount for `gNegative` with a negative number, as
// a count read past 32,767 into a 16-bit value would.
ObjectHandle gNegative = 0;

int16_t NegativeVertexCount(ObjectHandle o) {
  if (o == gNegative) return -3;
  auto real = reinterpret_cast<GetVertexCountFn>(hostapp::Dispatch(kSelGetVertexCount));
  return real(o);
}

void* NegativeCountDispatch(int32_t selector) {
  if (selector == kSelGetVertexCount) return reinterpret_cast<void*>(&NegativeVertexCount);
  return hostapp::Dispatch(selector);
}

struct NegativeCase {
  const char* name;
  Object object;
};

class NegativeCount : public Limits, public ::testing::WithParamInterface<NegativeCase> {};

TEST_P(NegativeCount, EveryPassLeavesTheObject) {
  gNegative = host.Add(GetParam().object);
  const hostapp::Object before = host.Get(gNegative);
  HostDispatcher dispatcher = &NegativeCountDispatch;

  host.SendAction(kActionSetUp);
  uint8_t* block = host.SettingsBlock();
  ASSERT_NE(block, nullptr);
  for (int f = 0; f < 9; ++f) block[f] = f == 5 && before.type == 21 ? 0 : 1;
  EXPECT_EQ(host.CallMain(kActionRun, 0, &host.userData, &dispatcher), 0);
  host.SendAction(kActionTearDown);
  host.userData = nullptr;
  gNegative = 0;

  ASSERT_EQ(host.ObjectCount(), 1u);
  std::string why;
  EXPECT_TRUE(SameObject(host.Get(host.Objects()[0]), before, &why)) << why;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, NegativeCount,
    ::testing::Values(
        NegativeCase{"Type25", hostapp::Poly3D({{0, 0, 1}, {5, 0, 2}, {5, 5, 3}})},
        NegativeCase{"Type5", hostapp::Polyline({{0, 0}, {5, 0}, {5, 5}})},
        NegativeCase{"Type21", hostapp::Polyline({{0, 0}, {5, 0}, {5, 5}}, false, 21)}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
