// How the host calls of each pass grow with the drawing: counted, not timed,
// so the check is exact. A pass that walks only its own object makes the
// same calls per object at any size; a comparing pass walks forward from
// every object, so doubling the drawing at most quadruples its calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostapp/builders.h"
#include "support/plugin_fixture.h"

using namespace hostapp;

namespace {

// One cell of everything the passes act on, shifted by (x, y); cells never
// touch each other.
void AddCell(double x, double y, std::vector<Object>& out) {
  out.push_back(Line(x, y, x + 10, y));
  out.push_back(Line(x, y, x + 10, y));                                   // duplicate
  out.push_back(Line(x + 8, y, x + 20, y));                               // overlap
  out.push_back(Line(x + 30, y, x + 40, y));                              // meets the next
  out.push_back(Line(x + 40, y, x + 40, y + 10));
  out.push_back(Polyline({{x, y + 20}, {x + 5, y + 20}, {x + 10, y + 20}, {x + 10, y + 30}}));
  out.push_back(Polyline({{x + 20, y + 20}, {x + 30, y + 20}, {x + 30, y + 30}, {x + 20, y + 20}}));
  out.push_back(Arc(x + 60, y + 60, 5, 0, 90));
  out.push_back(Arc(x + 60, y + 60, 5, 60, 90));                          // same circle
  out.push_back(Poly3D({{x, y + 50, 0}, {x + 10, y + 50, 5}, {x + 10, y + 60, 5}}));
  out.push_back(Line(x + 70, y + 70, x + 70.00001, y + 70));              // degenerate
  out.push_back(Point17(x + 75, y + 75));
}

std::vector<Object> Cells(int count) {
  std::vector<Object> out;
  for (int i = 0; i < count; ++i) AddCell((i % 20) * 200.0, (i / 20) * 200.0, out);
  return out;
}

struct Growth {
  const char* name;
  int flag;         // option flag switched on alone
  double maxRatio;  // host calls at 2n over host calls at n
};

// Linear passes may add a constant (the driver's frame), nothing per pair.
constexpr double kLinear = 2.05;
// Forward walks from every object: n²/2 steps, so at most four times.
constexpr double kComparing = 4.0;

class PassScaling : public PluginTest, public ::testing::WithParamInterface<Growth> {
 protected:
  uint64_t CallsOfRun(int cells) {
    host.settings.logCalls = false;
    for (ObjectHandle h : host.Objects()) host.Remove(h);
    Load(Cells(cells));
    Options options = OnlyPass(GetParam().flag);
    if (GetParam().flag == 7) options.flags[6] = 1;  // flag 7 widens the join
    const uint64_t before = host.CallCount();
    EXPECT_EQ(RunCommand(options), 0);
    return host.CallCount() - before;
  }
};

TEST_P(PassScaling, DoublingTheDrawingBoundsTheHostCalls) {
  const uint64_t small = CallsOfRun(40);
  const uint64_t large = CallsOfRun(80);
  ASSERT_GT(small, 0u);
  EXPECT_LE(static_cast<double>(large) / static_cast<double>(small), GetParam().maxRatio)
      << small << " calls at 40 cells, " << large << " at 80";
}

INSTANTIATE_TEST_SUITE_P(
    EveryPass, PassScaling,
    ::testing::Values(Growth{"Flatten", 0, kLinear}, Growth{"Degenerate", 1, kLinear},
                      Growth{"Type17", 2, kLinear}, Growth{"Duplicates", 3, kComparing},
                      Growth{"Merge", 4, kComparing}, Growth{"VertexCleanUp", 5, kLinear},
                      Growth{"Join", 6, kComparing}, Growth{"JoinWithArcs", 7, kComparing},
                      Growth{"ReduceVertices", 8, kLinear}),
    [](const ::testing::TestParamInfo<Growth>& info) { return std::string(info.param.name); });

}  // namespace
