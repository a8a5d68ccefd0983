// Vertex reduction through the real library: growing windows, their
// re-tests, what stops them, and when the pass cleans up or resets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "hostapp/builders.h"
#include "support/plugin_fixture.h"

using namespace hostapp;

namespace {

constexpr int kVertexPass = 5;
constexpr int kReducePass = 8;

Options ReduceOnly() { return OnlyPass(kReducePass); }
Options WithVertexPass() {
  Options o = OnlyPass(kReducePass);
  o.flags[kVertexPass] = 1;
  return o;
}

size_t CountPrefix(const std::vector<std::string>& calls, const std::string& prefix) {
  return std::count_if(calls.begin(), calls.end(),
                       [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
}

struct ReduceCase {
  const char* name;
  bool vertexPassToo;
  Object input;
  Object expected;
  friend void PrintTo(const ReduceCase& c, std::ostream* os) { *os << c.name; }
};

class Reduce : public PluginTest, public ::testing::WithParamInterface<ReduceCase> {};

// Point tolerance 0.01 throughout (the default tolerance at scale 1).
TEST_P(Reduce, Drawing) {
  checkPass(GetParam().vertexPassToo ? WithVertexPass() : ReduceOnly(), {GetParam().input},
            {GetParam().expected});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Reduce,
    ::testing::Values(
        // The window of anchor 1 grows to the end; no line is made here.
        ReduceCase{"ZigzagCollapses", false,
                   Polyline({{0, 0}, {1, 0.001}, {2, -0.001}, {3, 0.001}, {4, -0.001}, {5, 0}}),
                   Polyline({{0, 0}, {5, 0}})},
        ReduceCase{"ZigzagCollapsesAfterTheVertexPass", true,
                   Polyline({{0, 0}, {1, 0.001}, {2, -0.001}, {3, 0.001}, {4, -0.001}, {5, 0}}),
                   Polyline({{0, 0}, {5, 0}})},
        // After growing to vertex 4, vertex 2 lies ~0.012 from the new line:
        // only the window that passed, [1, 3], is thinned.
        ReduceCase{"GrowthRetestsEveryInnerVertex", false,
                   Polyline({{0, 0}, {1, 0.009}, {2, 0.001}, {3, -0.009}}),
                   Polyline({{0, 0}, {2, 0.001}, {3, -0.009}})},
        ReduceCase{"WithinTolerance", false, Polyline({{0, 0}, {1, 0.009}, {2, 0}}),
                   Polyline({{0, 0}, {2, 0}})},
        ReduceCase{"WithinToleranceType21", false,
                   Polyline({{0, 0}, {1, 0.009}, {2, 0}}, true, 21),
                   Polyline({{0, 0}, {2, 0}}, true, 21)},
        ReduceCase{"BeyondTolerance", false, Polyline({{0, 0}, {1, 0.011}, {2, 0}}),
                   Polyline({{0, 0}, {1, 0.011}, {2, 0}})},
        // A window end on the anchor measures the distance to the anchor:
        // vertex 2 is ~1 away, so the window stops at [1, 3].
        ReduceCase{"EndOnAnchorFarFromInner", false,
                   Polyline({{0, 0}, {1, 0.005}, {2, 0}, {0, 0}, {5, 5}}),
                   Polyline({{0, 0}, {2, 0}, {0, 0}, {5, 5}})},
        ReduceCase{"EndOnAnchorNearInner", false,
                   Polyline({{0, 0}, {0.006, 0.001}, {0.004, 0.005}, {0, 0}, {5, 5}}),
                   Polyline({{0, 0}, {5, 5}})},
        // The type-1 vertex stays, and no window reaches past it.
        ReduceCase{"NonPlainVertexStopsWindows", false,
                   Polyline({{0, 0}, {1, 0.005}, {2, 0}, {3, 0.005, 1}, {4, 0}, {5, 0.005},
                             {6, 0}}),
                   Polyline({{0, 0}, {2, 0}, {3, 0.005, 1}, {4, 0}, {6, 0}})},
        // Without the vertex pass this pass cleans up first, line included.
        ReduceCase{"CleanUpFirstMakesALine", false, Polyline({{0, 0}, {1, 0}, {2, 0}}),
                   Line(0, 0, 2, 0)},
        // The vertex pass made the line; its old object, still visited here, is left alone.
        ReduceCase{"MarkedObjectIsLeftAlone", true, Polyline({{0, 0}, {1, 0}, {2, 0}}),
                   Line(0, 0, 2, 0)},
        // Vertex 2 lies on the line from vertex 1 to vertex 3 but 5 beyond
        // its end: the run out and back is kept.
        ReduceCase{"SpikeAlongTheLineStays", false,
                   Polyline({{0, 0}, {10, 0.001}, {5, 0}, {5, 5}}),
                   Polyline({{0, 0}, {10, 0.001}, {5, 0}, {5, 5}})},
        // Just behind the anchor, within tolerance of it: still thinned.
        ReduceCase{"WithinToleranceBehindTheAnchor", false,
                   Polyline({{0, 0}, {-0.005, 0.001}, {3, 0}, {3, 3}}),
                   Polyline({{0, 0}, {3, 0}, {3, 3}})},
        ReduceCase{"OtherTypesUntouched", false, Poly3D({{0, 0, 0}, {1, 0.001, 0}, {2, 0, 0}}),
                   Poly3D({{0, 0, 0}, {1, 0.001, 0}, {2, 0, 0}})}),
    [](const auto& info) { return std::string(info.param.name); });

class ReduceCalls : public PluginTest {};

TEST_F(ReduceCalls, InnerVerticesAreDeletedFromTheHighestIndexThenReset) {
  Load({Polyline({{0, 0}, {1, 0.001}, {2, -0.001}, {3, 0.001}, {4, -0.001}, {5, 0}})});
  RunCommand(WithVertexPass());
  std::vector<std::string> tail;
  for (const std::string& c : TraversalCalls(host, 1))
    if (c.rfind("DeleteVertex", 0) == 0 || c.rfind("ResetObject", 0) == 0) tail.push_back(c);
  const std::vector<std::string> expected = {"DeleteVertex(1, 5)", "DeleteVertex(1, 4)",
                                             "DeleteVertex(1, 3)", "DeleteVertex(1, 2)",
                                             "ResetObject(1)"};
  EXPECT_EQ(tail, expected);
}

// The clean-up of one object runs in this pass only when the vertex pass did
// not; and nothing removed here means no reset here.
TEST_F(ReduceCalls, CleanUpAndResetOnlyWhenDue) {
  const Object triangle = Polyline({{0, 0}, {5, 0}, {5, 5}});
  Load({triangle});
  RunCommand(ReduceOnly());
  const auto alone = TraversalCalls(host, 0);
  EXPECT_EQ(CountPrefix(alone, "IsPolyClosed"), 1u);
  EXPECT_EQ(CountPrefix(alone, "ResetObject"), 1u);

  host.ClearCalls();
  RunCommand(WithVertexPass());
  const auto after = TraversalCalls(host, 1);
  EXPECT_EQ(CountPrefix(after, "IsPolyClosed"), 0u);
  EXPECT_EQ(CountPrefix(after, "ResetObject"), 0u);
  EXPECT_EQ(CountPrefix(after, "DeleteVertex"), 0u);
  ASSERT_EQ(host.ObjectCount(), 1u);
  EXPECT_TRUE(SameObject(Drawing()[0], triangle));
}

TEST_F(ReduceCalls, OtherObjectsOnlyHaveTheirTypeRead) {
  Load({Line(0, 0, 1, 1), Arc(0, 0, 1, 0, 90), Poly3D({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}),
        Point17(1, 2), Box(4, 0, 1, 1, 0)});
  RunCommand(ReduceOnly());
  const auto calls = TraversalCalls(host, 0);
  EXPECT_EQ(calls.size(), 5u);
  EXPECT_EQ(CountPrefix(calls, "GetObjectType"), 5u);
}

}  // namespace

namespace {

// A corner that cannot be measured is never bridged: the runs on either side
// are thinned up to it, and it stays with both its neighbours.
TEST_F(ReduceCalls, NaNCornerStopsTheWindows) {
  const double nan = std::nan("");
  for (const V& unmeasured : {V{nan, 0}, V{3, nan}, V{nan, nan}}) {
    host.ClearCalls();
    for (ObjectHandle h : host.Objects()) host.Remove(h);
    Load({Polyline({{0, 0}, {1, 0.001}, {2, 0}, unmeasured, {4, 0}, {5, 0.001}, {6, 0}})});
    RunCommand(ReduceOnly());
    const std::vector<Object> after = Drawing();
    ASSERT_EQ(after.size(), 1u);
    const std::vector<Vertex>& got = after[0].vertices;
    ASSERT_EQ(got.size(), 5u);
    const double xs[] = {0, 2, 3, 4, 6};
    for (size_t i = 0; i < got.size(); ++i) {
      if (i == 2) {
        EXPECT_TRUE(std::isnan(got[i].p.x) || std::isnan(got[i].p.y));
      } else {
        EXPECT_EQ(got[i].p.x, xs[i]) << i;
        EXPECT_EQ(got[i].p.y, 0.0) << i;
      }
    }
  }
}

}  // namespace
