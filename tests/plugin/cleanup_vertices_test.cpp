// CleanUpVertices on one object, called directly against the project's host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "base/run_globals.h"
#include "cleanup/host_abi.h"
#include "geometry/cleanup_vertices.h"
#include "hostapp/builders.h"
#include "hostapp/host.h"

using namespace hostapp;

namespace {

// Point tolerance of these tests: ends meet within 0.01 per axis.
constexpr double kTestPointTolerance = 1.0;

std::string Describe(const std::vector<Vertex>& vs) {
  std::string s;
  for (const Vertex& v : vs)
    s += "(" + std::to_string(v.p.x) + "," + std::to_string(v.p.y) + " t" +
         std::to_string(v.type) + ") ";
  return s;
}

class CleanUpVerticesTest : public ::testing::Test {
 protected:
  Host host;
  double keptTolerance = gPointTolerance;
  ClassId keptMarker = gMarkerClass;

  void SetUp() override {
    gPointTolerance = kTestPointTolerance;
    gMarkerClass = host.ClassNamed("marker");
  }
  void TearDown() override {
    std::string all;
    for (const std::string& v : host.Violations()) all += v + "\n";
    EXPECT_TRUE(host.Violations().empty()) << all;
    gPointTolerance = keptTolerance;
    gMarkerClass = keptMarker;
  }

  ObjectHandle Clean(const Object& o) {
    const ObjectHandle h = host.Add(o);
    host.ClearCalls();
    CleanUpVertices(host.Cbp(), h);
    return h;
  }
  size_t Calls(const std::string& name) const {
    const std::vector<std::string> names = host.CallNames();
    return std::count(names.begin(), names.end(), name);
  }
  std::vector<ObjectHandle> Lines() const {
    std::vector<ObjectHandle> out;
    for (ObjectHandle h : host.Objects())
      if (host.Get(h).type == 2) out.push_back(h);
    return out;
  }

  // The object stays, reset once, with exactly these vertices and closure.
  void checkPass(const Object& input, const Object& expected) {
    const ObjectHandle h = Clean(input);
    ASSERT_TRUE(host.Alive(h));
    const Object& out = host.Get(h);
    const std::vector<Vertex>& got = out.vertices;
    ASSERT_EQ(got.size(), expected.vertices.size()) << Describe(got);
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].p.x, expected.vertices[i].p.x) << i << ": " << Describe(got);
      EXPECT_EQ(got[i].p.y, expected.vertices[i].p.y) << i << ": " << Describe(got);
      EXPECT_EQ(got[i].type, expected.vertices[i].type) << i << ": " << Describe(got);
    }
    EXPECT_EQ(out.closed, expected.closed);
    EXPECT_EQ(out.cls, input.cls);
    EXPECT_EQ(Calls("ResetObject"), 1u);
    EXPECT_EQ(Calls("CreateLine"), 0u);
    EXPECT_EQ(Calls("SetObjectClass"), 0u);
  }
  void checkNoChange(const Object& input) { checkPass(input, input); }

  // The object goes to the marker class and a line from p to q takes its place.
  void checkBecomesLine(const Object& input, HostWorldPt p, HostWorldPt q) {
    const ObjectHandle h = Clean(input);
    EXPECT_EQ(host.Get(h).cls, gMarkerClass);
    EXPECT_TRUE(host.Alive(h));  // deleted only by the final sweep
    const std::vector<ObjectHandle> lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    const Object& line = host.Get(lines[0]);
    EXPECT_EQ(line.first.x, p.x);
    EXPECT_EQ(line.first.y, p.y);
    EXPECT_EQ(line.second.x, q.x);
    EXPECT_EQ(line.second.y, q.y);
    EXPECT_EQ(Calls("ResetObject"), 0u);
  }
};

struct PassCase {
  const char* name;
  Object input, expected;
};

TEST_F(CleanUpVerticesTest, VertexListsKeepingThreeOrMore) {
  const PassCase cases[] = {
      {"open ends within tolerance close",
       Polyline({{0, 0}, {10, 0}, {10, 10}, {0.01, -0.01}}),
       Polyline({{0, 0}, {10, 0}, {10, 10}}, true)},
      {"ends just outside tolerance stay open",
       Polyline({{0, 0}, {10, 0}, {10, 10}, {0.02, 0}}),
       Polyline({{0, 0}, {10, 0}, {10, 10}, {0.02, 0}})},
      {"ends meet regardless of vertex types",
       Polyline({{0, 0, 3}, {10, 0}, {10, 10}, {0, 0, 7}}),
       Polyline({{0, 0, 3}, {10, 0}, {10, 10}}, true)},
      {"closed square loses the corner in the middle of a side",
       Polyline({{0, 0}, {5, 0}, {10, 0}, {10, 10}, {0, 10}}, true),
       Polyline({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, true)},
      {"wrap-around: vertex 1 on the line from vertex n to vertex 2",
       Polyline({{5, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}, true),
       Polyline({{10, 0}, {10, 10}, {0, 10}, {0, 0}}, true)},
      {"wrap-around only on closed objects",
       Polyline({{5, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}),
       Polyline({{5, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}})},
      {"wrap-around keeps a non-plain vertex 1",
       Polyline({{5, 0, 1}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}, true),
       Polyline({{5, 0, 1}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}, true)},
      {"wrap-around keeps vertex 1 when its neighbours' types add up to 6",
       Polyline({{5, 0}, {10, 0, 3}, {10, 10}, {0, 10}, {0, 0, 3}}, true),
       Polyline({{5, 0}, {10, 0, 3}, {10, 10}, {0, 10}, {0, 0, 3}}, true)},
      {"collinear plain corner between two type-3 vertices stays",
       Polyline({{0, 0, 3}, {5, 0}, {10, 0, 3}, {10, 10}}),
       Polyline({{0, 0, 3}, {5, 0}, {10, 0, 3}, {10, 10}})},
      {"type sum 5 still drops a plain corner",
       Polyline({{0, 0, 3}, {5, 0}, {10, 0, 2}, {10, 10}}),
       Polyline({{0, 0, 3}, {10, 0, 2}, {10, 10}})},
      {"a non-plain collinear vertex stays",
       Polyline({{0, 0}, {5, 0, 1}, {10, 0}, {10, 10}}),
       Polyline({{0, 0}, {5, 0, 1}, {10, 0}, {10, 10}})},
      {"the vertex moved into place is judged against its new neighbours",
       Polyline({{0, 0}, {0, 10}, {5, 10}, {10, 10}, {15, 10}, {15, 0}}),
       Polyline({{0, 0}, {0, 10}, {15, 10}, {15, 0}})},
      {"nothing to do is still reset",
       Polyline({{0, 0}, {10, 0}, {10, 10}}),
       Polyline({{0, 0}, {10, 0}, {10, 10}})},
      // A corner where the outline turns back is collinear with its
      // neighbours but not between them: dropping it would erase the spike.
      {"a spike out and back along the line stays",
       Polyline({{0, 0}, {10, 0}, {4, 0}, {4, 6}}),
       Polyline({{0, 0}, {10, 0}, {4, 0}, {4, 6}})},
      {"a spike to a point and straight back stays",
       Polyline({{0, 0}, {5, 5}, {0, 0}, {0, 8}}),
       Polyline({{0, 0}, {5, 5}, {0, 0}, {0, 8}})},
      {"a repeated corner still goes",
       Polyline({{0, 0}, {10, 0}, {10, 0}, {10, 10}}),
       Polyline({{0, 0}, {10, 0}, {10, 10}})},
      // The tip's neighbours nearly meet: the tip is collinear with them as
      // measured from its start, yet 10 away from the stretch between them.
      {"a spike whose tip comes back a hair off its start stays",
       Polyline({{0, 5}, {0, 0}, {10, 0}, {0, -1e-6}, {0, -5}}),
       Polyline({{0, 5}, {0, 0}, {10, 0}, {0, -1e-6}, {0, -5}})},
      // An open end's arc vertex is drawn as a corner: closing keeps it one.
      {"an arc vertex at the start stays a corner when the ends close",
       Polyline({{0, 0, 3, 2}, {10, 0}, {10, 10}, {0.005, 0.005}}, false, 21),
       Polyline({{0, 0}, {10, 0}, {10, 10}}, true, 21)},
      // The arc at (10, 0) meets its legs 3 from it: (8, 0) is where the
      // outline runs on and back to the arc, (5, 0) lies short of it.
      {"a corner short of an arc's tangent point stays",
       Polyline({{0, 0}, {8, 0}, {10, 0, 3, 3}, {10, 10}}, false, 21),
       Polyline({{0, 0}, {8, 0}, {10, 0, 3, 3}, {10, 10}}, false, 21)},
      {"a corner before an arc's tangent point goes",
       Polyline({{0, 0}, {5, 0}, {10, 0, 3, 3}, {10, 10}}, false, 21),
       Polyline({{0, 0}, {10, 0, 3, 3}, {10, 10}}, false, 21)},
      // Closing would turn the arc's short last leg by 40 degrees and swing
      // its tangent points: the ends stay open.
      {"ends stay open when the arc before the last would swing",
       Polyline({{0, 0}, {10, 0}, {10, 10}, {0, 0.006, 3, 1}, {0.005, 0}}, false, 21),
       Polyline({{0, 0}, {10, 0}, {10, 10}, {0, 0.006, 3, 1}, {0.005, 0}}, false, 21)},
      {"type 21 is treated the same",
       Polyline({{0, 0}, {5, 5}, {10, 10}, {10, 0}}, false, 21),
       Polyline({{0, 0}, {10, 10}, {10, 0}}, false, 21)},
  };
  for (const PassCase& c : cases) {
    SCOPED_TRACE(c.name);
    checkPass(c.input, c.expected);
  }
}

TEST_F(CleanUpVerticesTest, FiveCollinearBecomeALineRemovingAtIndexTwo) {
  checkBecomesLine(Polyline({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}), Pt(0, 0), Pt(4, 0));
  EXPECT_EQ(Calls("DeleteVertex"), 3u);
  for (const std::string& text : host.CallTexts()) {
    if (text.rfind("DeleteVertex", 0) == 0) EXPECT_NE(text.find(", 2)"), std::string::npos) << text;
  }
}

TEST_F(CleanUpVerticesTest, TwoVertexResultTakesTheAttributes) {
  Attributes attr;
  attr.wordA = 7;
  attr.wordB = -3;
  attr.longAttr = 123456;
  attr.record[2] = 9;
  attr.flags[1] = 1;  // flag B
  const ClassId walls = host.ClassNamed("walls");
  checkBecomesLine(InClass(WithAttr(Polyline({{0, 0}, {5, 5}, {9, 9}}), attr), walls), Pt(0, 0),
                   Pt(9, 9));
  const Object& line = host.Get(Lines()[0]);
  EXPECT_EQ(line.cls, walls);
  EXPECT_EQ(line.attr.wordA, 7);
  EXPECT_EQ(line.attr.wordB, -3);
  EXPECT_EQ(line.attr.longAttr, 123456);
  EXPECT_EQ(line.attr.record[2], 9);
  EXPECT_NE(line.attr.flags[1], 0);
  // The old object is re-classed only after its attributes were copied.
  const std::vector<std::string> names = host.CallNames();
  const auto create = std::find(names.begin(), names.end(), "CreateLine");
  const auto copy = std::find(names.begin(), names.end(), "CopyObjectAttributes");
  ASSERT_NE(create, names.end());
  ASSERT_NE(copy, names.end());
  EXPECT_LT(create, copy);
  EXPECT_EQ(names.back(), "SetObjectClass");
}

TEST_F(CleanUpVerticesTest, ClosedTriangleWhoseEndsMeetBecomesALine) {
  // Step 2 leaves two vertices: the wrap-around corner is not looked at.
  checkBecomesLine(Polyline({{0, 0}, {10, 0}, {0, 0}}, true), Pt(0, 0), Pt(10, 0));
  EXPECT_EQ(Calls("IsPolyClosed"), 0u);
}

TEST_F(CleanUpVerticesTest, FewerThanTwoVerticesAreLeftAlone) {
  for (const Object& o : {Polyline(std::vector<V>{}), Polyline({{3, 4}}), Polyline({{3, 4}}, true)}) {
    const ObjectHandle h = Clean(o);
    EXPECT_EQ(host.CallNames(), std::vector<std::string>{"GetVertexCount"});
    EXPECT_EQ(host.Get(h).vertices.size(), o.vertices.size());
    EXPECT_EQ(host.Get(h).closed, o.closed);
  }
}

TEST_F(CleanUpVerticesTest, TwoVerticesWhoseEndsMeetReadNothingOutOfRange) {
  const ObjectHandle h = Clean(Polyline({{0, 0}, {0.001, 0.001}}));
  const Object& out = host.Get(h);
  EXPECT_EQ(out.vertices.size(), 1u);
  EXPECT_TRUE(out.closed);
  EXPECT_EQ(Calls("IsPolyClosed"), 0u);
  EXPECT_EQ(Calls("ResetObject"), 1u);
  EXPECT_EQ(out.cls, 0);
}

TEST_F(CleanUpVerticesTest, PlainTwoVertexObjectBecomesALine) {
  checkBecomesLine(Polyline({{1, 2}, {3, 4}}), Pt(1, 2), Pt(3, 4));
}

TEST_F(CleanUpVerticesTest, NoLineMadeKeepsTheObject) {
  host.settings.createLineFails = true;
  const ObjectHandle h = Clean(Polyline({{0, 0}, {5, 0}, {10, 0}}));
  EXPECT_TRUE(host.Alive(h));
  EXPECT_EQ(host.Get(h).cls, 0);
  EXPECT_EQ(host.Get(h).vertices.size(), 2u);
  EXPECT_EQ(Calls("SetObjectClass"), 0u);
  EXPECT_EQ(Calls("CopyObjectAttributes"), 0u);
  EXPECT_EQ(Calls("ResetObject"), 1u);
  EXPECT_TRUE(Lines().empty());
}

// Along a gentle curve of short chords every corner is collinear with its
// neighbours; dropped one by one, they must not add up to a stretch farther
// than the collinearity limit from any corner it replaced.
TEST_F(CleanUpVerticesTest, DroppedCornersStayNearTheOutline) {
  struct CurveCase {
    const char* name;
    std::vector<V> corners;
    bool thinned;  // some corners can go
  };
  auto curve = [](int n, auto at) {
    std::vector<V> vs;
    for (int i = 0; i < n; ++i) vs.push_back(at(i));
    return vs;
  };
  const double pi = std::acos(-1.0);
  gPointTolerance = 0.01;  // ends meet within 1e-4: none of these close
  const CurveCase cases[] = {
      {"a parabola of unit chords", curve(201, [](int i) { return V{double(i), 1e-7 * i * i}; }), true},
      {"half of a circle of radius 0.001",
       curve(200, [&](int i) { return V{0.001 * std::cos(pi * i / 199), 0.001 * std::sin(pi * i / 199)}; }), true},
      {"a straight run with noise within the limit",
       curve(300, [](int i) { return V{0.5 * i, (i % 2 ? 2e-6 : -2e-6)}; }), true},
      {"the same far from the origin",
       curve(300, [](int i) { return V{1e7 + 0.5 * i, 1e7 + (i % 3 ? 2e-6 : -2e-6)}; }), true},
  };
  for (const CurveCase& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t linesBefore = Lines().size();
    const ObjectHandle h = Clean(Polyline(c.corners, false));
    std::vector<HostWorldPt> kept;
    const std::vector<ObjectHandle> lines = Lines();
    if (lines.size() > linesBefore) {
      kept = {host.Get(lines.back()).first, host.Get(lines.back()).second};
    } else {
      for (const Vertex& v : host.Get(h).vertices) kept.push_back(v.p);
    }
    EXPECT_EQ(kept.size() < c.corners.size(), c.thinned);
    for (const V& p : c.corners) {
      double nearest = INFINITY;
      for (size_t k = 0; k + 1 < kept.size(); ++k) {
        const double ax = kept[k].x, ay = kept[k].y, bx = kept[k + 1].x, by = kept[k + 1].y;
        const double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
        const double t = len2 > 0 ? std::clamp(((p.x - ax) * dx + (p.y - ay) * dy) / len2, 0.0, 1.0) : 0.0;
        nearest = std::min(nearest, std::hypot(p.x - ax - t * dx, p.y - ay - t * dy));
      }
      ASSERT_LE(nearest, 1e-5 * (1 + 1e-6)) << "corner (" << p.x << ", " << p.y << ")";
    }
  }
}

TEST_F(CleanUpVerticesTest, HostWithoutVertexRoutinesGetsNoCalls) {
  host.SetMissing(kSelGetVertexCount);
  Clean(Polyline({{0, 0}, {5, 0}, {10, 0}}));
  EXPECT_EQ(Calls("GetVertex"), 0u);
  EXPECT_EQ(Calls("ResetObject"), 0u);
}

}  // namespace
