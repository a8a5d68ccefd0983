// Arc vertices to bulges: points the tangent construction puts a rounding
// apart are one point, and nothing else is.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "hostapp/arc_vertices.h"
#include "hostapp/builders.h"

using namespace hostapp;

namespace {

const double kInf = std::numeric_limits<double>::infinity();

struct Case {
  const char* name;
  Object list;
  std::vector<XY> corners;  // the bulge vertices' places, in order
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const Case kCases[] = {
    // A quarter turn of radius 1 on legs of length 1: the tangent points fall
    // on the neighbours but for rounding.
    {"TangentPointsOnTheNeighbours", Polyline({{0, 0}, {1, 0, 3, 1}, {1, 1}}), {{0, 0}, {1, 1}}},
    {"InfiniteNeighbourKeepsTheVertexBeforeIt", Polyline({{0, 0}, {10, 0}, {-kInf, 5}}), {{0, 0}, {10, 0}, {-kInf, 5}}},
    {"InfiniteVerticesApartStayApart", Polyline({{kInf, 0}, {kInf, 5}}), {{kInf, 0}, {kInf, 5}}},
    // Far out, 1e-3 is under 1e-9 of the coordinates, yet it is a gap as drawn.
    {"CloseVerticesFarOutStayApart", Polyline({{-1e6, 5}, {-1e6 + 1e-3, 5}, {-1e6 + 2e-3, 5}}),
     {{-1e6, 5}, {-1e6 + 1e-3, 5}, {-1e6 + 2e-3, 5}}},
    {"RepeatedVertexIsOne", Polyline({{0, 0}, {3, 0}, {3, 0}, {3, 4}}), {{0, 0}, {3, 0}, {3, 4}}},
    // Fillets that do not fit their legs: a hairpin's, and one whose radius
    // needs more leg than the list has.
    {"HairpinFilletIsACorner", Polyline({{0, 0}, {10, 10, 3, 5}, {10 - 1e-6, 10 - 1e-6}}),
     {{0, 0}, {10, 10}, {10 - 1e-6, 10 - 1e-6}}},
    {"OversizedFilletIsACorner", Polyline({{0, 0}, {1, 0, 3, 5}, {1, 1}}), {{0, 0}, {1, 0}, {1, 1}}},
};

class BulgeCorners : public ::testing::TestWithParam<Case> {};

TEST_P(BulgeCorners, SamePointsOnlyMerge) {
  const Case& c = GetParam();
  const std::vector<BulgeVertex> out = BulgesFromVertices(c.list.vertices, c.list.closed);
  ASSERT_EQ(out.size(), c.corners.size());
  for (size_t i = 0; i < out.size(); ++i) {
    EXPECT_EQ(out[i].x, c.corners[i].x) << i;
    EXPECT_EQ(out[i].y, c.corners[i].y) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Lists, BulgeCorners, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// An arc whose tangent points lie a rounding apart, far out, draws as the
// corner it nearly is, in either direction; its bulge never lands on a leg.
TEST(BulgeCorners, ArcTooSmallToTellApartDrawsNoBulge) {
  const Object forward = Polyline({{2e6, 0}, {2e6, 1e6, 3, 0.001}, {1e6, 1e6}});
  const Object backward = Polyline({{1e6, 1e6}, {2e6, 1e6, 3, 0.001}, {2e6, 0}});
  for (const Object* list : {&forward, &backward}) {
    const std::vector<BulgeVertex> out = BulgesFromVertices(list->vertices, false);
    ASSERT_EQ(out.size(), 3u);
    for (const BulgeVertex& b : out) EXPECT_EQ(b.bulge, 0.0);
  }
}

}  // namespace
