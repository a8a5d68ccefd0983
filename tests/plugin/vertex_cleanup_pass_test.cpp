// The vertex clean-up pass through the real library: choice of objects, the
// type-21 conversion, and coincident neighbours of three-dimensional objects.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "hostapp/builders.h"
#include "support/plugin_fixture.h"

using namespace hostapp;

namespace {

constexpr int kVertexPass = 5;

Object Poly3DOf(const std::vector<XYZ>& vertices, bool closed = false) {
  Object o = Poly3D({}, closed);
  for (const XYZ& v : vertices) o.vertices3d.push_back(Pt3(v.x, v.y, v.z));
  return o;
}

class VertexPass : public PluginTest {};

// ---- types 5 and 21 ----

TEST_F(VertexPass, Type21WithPlainCornersBeforeTheLastBecomesType5) {
  // The last vertex's type is not looked at.
  checkPass(OnlyPass(kVertexPass), {Polyline({{0, 0}, {5, 0}, {5, 5, 3}}, false, 21)},
            {Polyline({{0, 0}, {5, 0}, {5, 5, 3}}, false, 5)});
}

TEST_F(VertexPass, CurvedType21StaysButIsStillCleanedUp) {
  // (1,0) is a collinear plain corner; the arc vertex stops the conversion.
  checkPass(OnlyPass(kVertexPass),
            {Polyline({{0, 0}, {1, 0}, {2, 0}, {3, 1, 3}, {4, 0}}, false, 21)},
            {Polyline({{0, 0}, {2, 0}, {3, 1, 3}, {4, 0}}, false, 21)});
  const auto calls = TraversalCallNames(host, 0);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "ConvertToType5Object"), 0);
}

// The pass must go on with the handle the conversion answers; the old one is
// dead when the host replaces the object, and any use of it is a violation.
TEST_F(VertexPass, ConversionToANewHandleIsFollowed) {
  host.settings.convertInPlace = false;
  const ClassId walls = host.ClassNamed("walls");
  checkPass(OnlyPass(kVertexPass),
            {Polyline({{0, 0}, {0.5, 0}, {1, 0}, {1, 1}, {0, 1}}, true, 21),
             InClass(Polyline({{0, 0}, {1, 0}, {2, 0}}, false, 21), walls)},
            {Polyline({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, true, 5),
             InClass(Line(0, 0, 2, 0), walls)});
}

// Refused or impossible conversion: the old handle still names a type-21
// object, which is cleaned up as it is.
TEST_F(VertexPass, RefusedConversionCleansUpTheUnconvertedObject) {
  for (bool missing : {false, true}) {
    SCOPED_TRACE(missing ? "routine missing" : "conversion fails");
    for (ObjectHandle o : host.Objects()) host.Remove(o);
    host.settings.convertToType5Fails = !missing;
    host.SetMissing(kSelConvertToType5Object, missing);
    checkPass(OnlyPass(kVertexPass), {Polyline({{0, 0}, {1, 0}, {2, 0}, {2, 2}}, false, 21)},
              {Polyline({{0, 0}, {2, 0}, {2, 2}}, false, 21)});
  }
}

TEST_F(VertexPass, OtherObjectsOnlyHaveTheirTypeRead) {
  Load({Line(0, 0, 1, 1), Arc(0, 0, 1, 0, 90), Point17(1, 2), Point9(1, 2, 3),
        Box(4, 0, 1, 1, 0), Box(3, 0, 1, 1, 0)});
  RunCommand(OnlyPass(kVertexPass));
  EXPECT_EQ(TraversalCallNames(host, 0), std::vector<std::string>(6, "GetObjectType"));
}

// ---- type 25 ----

struct DuplicateCase {
  const char* name;
  double tolerance1;
  Object input;
  Object expected;
  friend void PrintTo(const DuplicateCase& c, std::ostream* os) { *os << c.name; }
};

class VertexPass3D : public PluginTest, public ::testing::WithParamInterface<DuplicateCase> {};

TEST_P(VertexPass3D, CoincidentNeighbours) {
  Options options = OnlyPass(kVertexPass);
  options.tolerance1 = GetParam().tolerance1;
  checkPass(options, {GetParam().input}, {GetParam().expected});
}

// A run of k coincident vertices: the index moves on after each removal, so
// ceil(k/2) of them stay.
Object Run3D(int k) {
  std::vector<XYZ> v(k, XYZ{0, 0, 0});
  v.push_back({10, 0, 0});
  v.push_back({10, 10, 0});
  return Poly3DOf(v);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VertexPass3D,
    ::testing::Values(
        DuplicateCase{"RunOf2", 0.01, Run3D(2), Run3D(1)},
        DuplicateCase{"RunOf3", 0.01, Run3D(3), Run3D(2)},
        DuplicateCase{"RunOf4", 0.01, Run3D(4), Run3D(2)},
        DuplicateCase{"RunOf5", 0.01, Run3D(5), Run3D(3)},
        // Inner pair first, then the last vertex that meets the first; closed.
        DuplicateCase{"EndsMeetAfterInnerPair", 0.01,
                      Poly3D({{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 0, 0}}),
                      Poly3D({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, true)},
        // Tolerance 1: coincidence within 0.01 per axis, the limit included.
        DuplicateCase{"WithinLimitInEveryAxis", 1.0,
                      Poly3D({{0, 0, 0}, {0.01, -0.01, 0.01}, {5, 5, 5}}),
                      Poly3D({{0.01, -0.01, 0.01}, {5, 5, 5}})},
        DuplicateCase{"ZBeyondLimit", 1.0, Poly3D({{0, 0, 0}, {0, 0, 0.011}, {5, 5, 5}}),
                      Poly3D({{0, 0, 0}, {0, 0, 0.011}, {5, 5, 5}})},
        // Collinear vertices stay, and no line is made of two vertices.
        DuplicateCase{"CollinearStays", 0.01, Poly3D({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}),
                      Poly3D({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}})},
        DuplicateCase{"TwoVerticesStay", 0.01, Poly3D({{0, 0, 0}, {2, 0, 0}}),
                      Poly3D({{0, 0, 0}, {2, 0, 0}})},
        // Too short to compare: nothing is read out of range or deleted.
        DuplicateCase{"OneVertex", 0.01, Poly3D({{1, 1, 1}}), Poly3D({{1, 1, 1}})},
        DuplicateCase{"NoVertex", 0.01, Poly3D({}), Poly3D({})},
        // The one vertex left of a coincident pair is not compared with itself.
        DuplicateCase{"CoincidentPair", 0.01, Poly3D({{1, 1, 1}, {1, 1, 1}}),
                      Poly3D({{1, 1, 1}})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(VertexPass, Type25IsNeverReset) {
  Load({Poly3D({{0, 0, 0}, {0, 0, 0}, {1, 1, 1}, {0, 0, 0}})});
  RunCommand(OnlyPass(kVertexPass));
  const auto calls = TraversalCallNames(host, 0);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "ResetObject"), 0);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "DeleteVertex"), 2);
}

// With flattening on, type-25 objects reach this pass only as flat ones.
TEST_F(VertexPass, FlattenedObjectsAreCleanedUpAsFlatOnes) {
  Options options = OnlyPass(kVertexPass);
  checkPass(options, {Poly3D({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}})},
            {Poly3D({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}})});
  for (ObjectHandle o : host.Objects()) host.Remove(o);
  options.flags[0] = 1;
  checkPass(options, {Poly3D({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}})}, {Line(0, 0, 2, 0)});
}

}  // namespace
