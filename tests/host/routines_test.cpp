// The host's routines against the contract: answers, violations, conversions,
// bounds, memory blocks, texts and the dispatcher.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host_test_support.h"
#include "hostapp/builders.h"

using namespace hostapp;
using hostapp_test::AllViolations;
using hostapp_test::Routine;

namespace {

class Routines : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_TRUE(host.Violations().empty()) << AllViolations(host); }
  // Expects exactly one violation since the last check and forgets it.
  void ExpectOneViolation(const std::string& context) {
    EXPECT_EQ(host.Violations().size(), 1u) << context << AllViolations(host);
    host.ClearViolations();
  }
  Host host;
};

// ---- violations: the call answers 0 and changes nothing ----

TEST_F(Routines, ViolatingCallsAreReportedAndChangeNothing) {
  const ObjectHandle line = host.Add(Line(0, 0, 1, 0));
  const ObjectHandle arc = host.Add(Arc(0, 0, 1, 0, 90));
  const ObjectHandle poly = host.Add(Polyline({{0, 0}, {1, 0}, {1, 1}}));
  const ObjectHandle poly3 = host.Add(Poly3D({{0, 0, 0}, {1, 0, 1}}));
  const ObjectHandle dead = host.Add(Point17(5, 5));
  host.Remove(dead);
  HostWorldPt p{};
  HostWorldPt3D p3{};
  double d = 0, radius = 1;
  int32_t type = 0;
  char unterminated[300];
  std::memset(unterminated, 'x', sizeof unterminated);

  struct Case {
    const char* what;
    std::function<int64_t()> call;  // the routine's answer, 0 for none
  };
  const std::vector<Case> cases = {
      {"type of handle 0", [&] { return Routine<GetObjectTypeFn>(kSelGetObjectType)(0); }},
      {"type of a dead object", [&] { return Routine<GetObjectTypeFn>(kSelGetObjectType)(dead); }},
      {"type of an unknown handle", [&] { return Routine<GetObjectTypeFn>(kSelGetObjectType)(999); }},
      {"delete a dead object", [&] { Routine<DeleteObjectFn>(kSelDeleteObject)(dead, 0); return 0; }},
      {"bounds into null", [&] { return Routine<GetObjectBoundsFn>(kSelGetObjectBounds)(line, nullptr); }},
      {"line ends of an arc", [&] { Routine<GetLineEndsFn>(kSelGetLineEnds)(arc, &p, &p); return 0; }},
      {"set line ends of a polyline",
       [&] { Routine<SetLineEndsFn>(kSelSetLineEnds)(poly, &p, &p); return 0; }},
      {"arc geometry of a line",
       [&] { Routine<GetArcGeometryFn>(kSelGetArcGeometry)(line, &d, &d, &p, &d, &d); return 0; }},
      {"arc geometry into null",
       [&] { Routine<GetArcGeometryFn>(kSelGetArcGeometry)(arc, &d, &d, &p, &d, nullptr); return 0; }},
      {"set arc angles of a line", [&] { Routine<SetArcAnglesFn>(kSelSetArcAngles)(line, 1, 2); return 0; }},
      {"2D point of a line", [&] { Routine<GetObjectPointFn>(kSelGetObjectPoint)(line, &p); return 0; }},
      {"3D point of a line", [&] { Routine<GetObjectPoint3DFn>(kSelGetObjectPoint3D)(line, &p3); return 0; }},
      {"four points of a line",
       [&] { Routine<GetObjectPoints3DFn>(kSelGetObjectPoints3D)(line, &p3); return 0; }},
      {"vertex count of a line", [&] { return Routine<GetVertexCountFn>(kSelGetVertexCount)(line); }},
      {"vertex 0", [&] { Routine<GetVertexFn>(kSelGetVertex)(poly, 0, &p, &type, &d); return 0; }},
      {"vertex n+1", [&] { Routine<GetVertexFn>(kSelGetVertex)(poly, 4, &p, &type, &d); return 0; }},
      {"vertex into null", [&] { Routine<GetVertexFn>(kSelGetVertex)(poly, 1, &p, nullptr, &d); return 0; }},
      {"GetVertex on a 3D polyline",
       [&] { Routine<GetVertexFn>(kSelGetVertex)(poly3, 1, &p, &type, &d); return 0; }},
      {"3D vertex n+1", [&] { Routine<GetVertex3DFn>(kSelGetVertex3D)(poly3, 3, &p3); return 0; }},
      {"delete vertex -1", [&] { Routine<DeleteVertexFn>(kSelDeleteVertex)(poly, -1); return 0; }},
      {"set vertex n+1",
       [&] { Routine<SetVertexFn>(kSelSetVertex)(poly, 4, &p, 0, &radius, 0); return 0; }},
      {"add vertex to a line",
       [&] { Routine<AddVertexFn>(kSelAddVertex)(line, &p, 0, &radius, 0); return 0; }},
      {"add vertex to a 3D polyline",
       [&] { Routine<AddVertexFn>(kSelAddVertex)(poly3, &p, 0, &radius, 0); return 0; }},
      {"add vertex with null radius",
       [&] { Routine<AddVertexFn>(kSelAddVertex)(poly, &p, 0, nullptr, 0); return 0; }},
      {"closed state of a line", [&] { return Routine<IsPolyClosedFn>(kSelIsPolyClosed)(line); }},
      {"close a line", [&] { Routine<SetPolyClosedFn>(kSelSetPolyClosed)(line, 1); return 0; }},
      {"convert a line to a polyline",
       [&] { return Routine<ConvertToPolylineFn>(kSelConvertToPolyline)(line, 0); }},
      {"convert a type-5 object to type 5",
       [&] { return Routine<ConvertToType5ObjectFn>(kSelConvertToType5Object)(poly, 0); }},
      {"class of a dead object", [&] { return Routine<GetObjectClassFn>(kSelGetObjectClass)(dead); }},
      {"put into an unknown class",
       [&] { Routine<SetObjectClassFn>(kSelSetObjectClass)(line, 77); return 0; }},
      {"copy attributes from a dead object",
       [&] { Routine<CopyObjectAttributesFn>(kSelCopyObjectAttributes)(line, dead); return 0; }},
      {"attribute record into null",
       [&] { return Routine<GetObjectAttrRecordFn>(kSelGetObjectAttrRecord)(line, nullptr); }},
      {"flag of handle 0", [&] { return Routine<GetObjectFlagFn>(kSelGetObjectFlagC)(0); }},
      {"unterminated class name", [&] { return Routine<AddClassFn>(kSelAddClass)(unterminated); }},
      {"null class name", [&] { return Routine<AddClassFn>(kSelAddClass)(nullptr); }},
      {"unterminated name to delete",
       [&] { Routine<DeleteClassFn>(kSelDeleteClass)(unterminated); return 0; }},
      {"world length into null",
       [&] { Routine<ConvertToWorldLengthFn>(kSelConvertToWorldLength)(1.0, nullptr); return 0; }},
      {"create a line from null",
       [&] { return Routine<CreateLineFn>(kSelCreateLine)(nullptr, &p); }},
      {"traverse with no callback",
       [&] { Routine<ForEachObjectFn>(kSelForEachObject)(38, nullptr, 0, host.Cbp()); return 0; }},
      {"resource text into null",
       [&] { Routine<GetResourceStringFn>(kSelGetResourceString)(11000, 1, nullptr, 1); return 0; }},
  };
  for (const Case& c : cases) {
    const std::vector<ObjectHandle> order = host.Objects();
    const Object lineBefore = host.Get(line), polyBefore = host.Get(poly);
    EXPECT_EQ(c.call(), 0) << c.what;
    ExpectOneViolation(c.what);
    EXPECT_EQ(host.Objects(), order) << c.what;
    EXPECT_EQ(host.Get(line).type, lineBefore.type) << c.what;
    EXPECT_EQ(host.Get(poly).vertices.size(), polyBefore.vertices.size()) << c.what;
    EXPECT_EQ(host.Get(line).cls, 0) << c.what;
  }
}

TEST_F(Routines, ThreeDPolylinesAcceptTheirFiveVertexRoutines) {
  const ObjectHandle o = host.Add(Poly3D({{0, 0, 0}, {1, 2, 3}, {4, 5, 6}}));
  HostWorldPt3D p{};
  EXPECT_EQ(Routine<GetVertexCountFn>(kSelGetVertexCount)(o), 3);
  Routine<GetVertex3DFn>(kSelGetVertex3D)(o, 2, &p);
  EXPECT_EQ(p.x, 1);
  EXPECT_EQ(p.y, 2);
  EXPECT_EQ(p.z, 3);
  Routine<SetPolyClosedFn>(kSelSetPolyClosed)(o, 1);
  EXPECT_NE(Routine<IsPolyClosedFn>(kSelIsPolyClosed)(o), 0);
  Routine<DeleteVertexFn>(kSelDeleteVertex)(o, 1);
  EXPECT_EQ(host.Get(o).vertices3d.size(), 2u);
  EXPECT_EQ(host.Get(o).vertices3d[0].x, 1);
}

// ---- answers ----

TEST_F(Routines, BooleansAnswerTheConfiguredTrueByteAndFlagsTheStoredByte) {
  host.settings.trueValue = 2;
  Object o = Polyline({{0, 0}, {1, 0}}, true);
  o.attr.flags[4] = 7;
  const ObjectHandle h = host.Add(o);
  uint8_t record[4];
  HostWorldRect bounds{};
  EXPECT_EQ(Routine<ConfirmCommandFn>(kSelConfirmCommand)(11000, 14, 0), 2);
  EXPECT_EQ(Routine<IsPolyClosedFn>(kSelIsPolyClosed)(h), 2);
  EXPECT_EQ(Routine<GetObjectAttrRecordFn>(kSelGetObjectAttrRecord)(h, record), 2);
  EXPECT_EQ(Routine<GetObjectBoundsFn>(kSelGetObjectBounds)(h, &bounds), 2);
  EXPECT_EQ(Routine<GetObjectFlagFn>(kSelGetObjectFlagE)(h), 7);
  Routine<SetObjectFlagFn>(kSelSetObjectFlagB)(h);
  EXPECT_EQ(host.Get(h).attr.flags[1], 2);
  host.settings.confirm = false;
  EXPECT_EQ(Routine<ConfirmCommandFn>(kSelConfirmCommand)(11000, 14, 0), 0);
}

TEST_F(Routines, AttributeRoutinesReachTheirOwnFields) {
  Object src = Line(0, 0, 1, 1);
  src.attr.group = 42;
  src.attr.longAttr = 5;
  src.attr.longB = 6;
  src.attr.longC = 7;
  const ObjectHandle s = host.Add(src);
  const ObjectHandle d = host.Add(Line(0, 0, 1, 1));
  Routine<SetObjectAttrRecordFn>(kSelSetObjectAttrRecord)(d, 0x04030201u);
  Routine<SetObjectWordAttrAFn>(kSelSetObjectWordAttrA)(d, -3);
  Routine<SetObjectWordAttrBFn>(kSelSetObjectWordAttrB)(d, 9);
  Routine<SetObjectLongAttrFn>(kSelSetObjectLongAttr)(d, -100000);
  Routine<CopyObjectAttributesFn>(kSelCopyObjectAttributes)(d, s);
  const Attributes& a = host.Get(d).attr;
  EXPECT_EQ((std::vector<int>{a.record[0], a.record[1], a.record[2], a.record[3]}),
            (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(Routine<GetObjectWordAttrAFn>(kSelGetObjectWordAttrA)(d), -3);
  EXPECT_EQ(Routine<GetObjectWordAttrBFn>(kSelGetObjectWordAttrB)(d), 9);
  EXPECT_EQ(Routine<GetObjectLongAttrFn>(kSelGetObjectLongAttr)(d), -100000);
  // CopyObjectAttributes moves the group and nothing else.
  EXPECT_EQ(a.group, 42);
  EXPECT_EQ(a.longB, 0);
  EXPECT_EQ(a.longC, 0);
  EXPECT_EQ(Routine<GetObjectLongAttrBFn>(kSelGetObjectLongAttrB)(s), 6);
  EXPECT_EQ(Routine<GetObjectLongAttrCFn>(kSelGetObjectLongAttrC)(s), 7);
}

TEST_F(Routines, VertexEditing) {
  const ObjectHandle o = Routine<CreatePolylineFn>(kSelCreatePolyline)();
  ASSERT_NE(o, 0u);
  EXPECT_EQ(host.Get(o).type, 5);
  const HostWorldPt a = Pt(1, 2), b = Pt(3, 4), c = Pt(5, 6);
  const double r0 = 0, r1 = 2.5;
  Routine<AddVertexFn>(kSelAddVertex)(o, &a, 0, &r0, 0);
  Routine<AddVertexFn>(kSelAddVertex)(o, &b, 3, &r1, 0);
  Routine<AddVertexFn>(kSelAddVertex)(o, &c, 0, &r0, 0);
  Routine<SetVertexFn>(kSelSetVertex)(o, 1, &c, 1, &r1, 0);
  Routine<DeleteVertexFn>(kSelDeleteVertex)(o, 3);
  HostWorldPt p{};
  int32_t type = -1;
  double radius = -1;
  Routine<GetVertexFn>(kSelGetVertex)(o, 2, &p, &type, &radius);
  EXPECT_EQ(Routine<GetVertexCountFn>(kSelGetVertexCount)(o), 2);
  EXPECT_EQ(p.x, 3);
  EXPECT_EQ(p.y, 4);
  EXPECT_EQ(type, 3);
  EXPECT_EQ(radius, 2.5);
  EXPECT_EQ(host.Get(o).vertices[0].type, 1);
  EXPECT_EQ(host.Get(o).vertices[0].p.x, 5);
}

// ---- bounds ----

TEST_F(Routines, BoundsFollowTheGeometry) {
  struct Case {
    const char* what;
    Object o;
    double left, top, right, bottom;
  };
  const std::vector<Case> cases = {
      {"line", Line(3, 4, -1, 2), -1, 4, 3, 2},
      {"quarter arc", Arc(0, 0, 1, 0, 90), 0, 1, 1, 0},
      {"arc across 0 degrees", Arc(0, 0, 2, -45, 90), 1.4142135623730951, 1.4142135623730951, 2,
       -1.4142135623730951},
      {"negative sweep", Arc(0, 0, 1, 90, -180), 0, 1, 1, -1},
      {"half arc over the top", Arc(10, 0, 1, 0, 180), 9, 1, 11, 0},
      {"full circle", Arc(0, 0, 1, 30, 360), -1, 1, 1, -1},
      {"elliptic arc", EllipticArc(0, 0, 2, 1, 0, 180), -2, 1, 2, 0},
      {"polyline", Polyline({{0, 0}, {5, -1}, {2, 3}}), 0, 3, 5, -1},
      {"3D polyline", Poly3D({{1, 1, 9}, {-2, 4, -9}}), -2, 4, 1, 1},
      {"2D point", Point17(2, 3), 2, 3, 2, 3},
      {"3D point", Point9(2, 3, 4), 2, 3, 2, 3},
      {"face", Face15({0, 0, 0}, {1, 0, 0}, {1, 2, 0}, {0, 2, 5}), 0, 2, 1, 0},
      {"type 3", Box(3, -1, 2, 3, -4), -1, 2, 3, -4},
      {"type 10", Box10(0, 1, 2, 0, 9), 0, 1, 2, 0},
      {"other code", Box(40, 5, 6, 7, 1), 5, 6, 7, 1},
  };
  for (const Case& c : cases) {
    const ObjectHandle h = host.Add(c.o);
    HostWorldRect r{};
    EXPECT_NE(Routine<GetObjectBoundsFn>(kSelGetObjectBounds)(h, &r), 0) << c.what;
    EXPECT_NEAR(r.left, c.left, 1e-12) << c.what;
    EXPECT_NEAR(r.top, c.top, 1e-12) << c.what;
    EXPECT_NEAR(r.right, c.right, 1e-12) << c.what;
    EXPECT_NEAR(r.bottom, c.bottom, 1e-12) << c.what;
  }
}

TEST_F(Routines, AnObjectWithoutVerticesHasNoBounds) {
  for (int16_t type : {5, 21, 25}) {
    Object o;
    o.type = type;
    const ObjectHandle h = host.Add(o);
    HostWorldRect r{0, 0, 0, 0};
    EXPECT_EQ(Routine<GetObjectBoundsFn>(kSelGetObjectBounds)(h, &r), 0) << type;
    EXPECT_GT(r.left, r.right) << type;
    EXPECT_LT(r.top, r.bottom) << type;
  }
}

// ---- conversions ----

TEST_F(Routines, SmallCircularArcBecomesStartTangentPointAndEnd) {
  Object arc = Arc(0, 0, 1, 0, 90);
  arc.attr.longAttr = 12;
  arc.cls = host.ClassNamed("walls");
  const ObjectHandle h = host.Add(arc);
  EXPECT_EQ(Routine<ConvertToPolylineFn>(kSelConvertToPolyline)(h, 0), h);
  const Object& o = host.Get(h);
  EXPECT_EQ(o.type, 21);
  EXPECT_FALSE(o.closed);
  EXPECT_EQ(o.cls, arc.cls);
  EXPECT_EQ(o.attr.longAttr, 12);
  ASSERT_EQ(o.vertices.size(), 3u);
  const double expected[3][4] = {{1, 0, 0, 0}, {1, 1, 3, 1}, {0, 1, 0, 0}};  // x, y, type, radius
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(o.vertices[i].p.x, expected[i][0], 1e-12) << i;
    EXPECT_NEAR(o.vertices[i].p.y, expected[i][1], 1e-12) << i;
    EXPECT_EQ(o.vertices[i].type, expected[i][2]) << i;
    EXPECT_EQ(o.vertices[i].radius, expected[i][3]) << i;
  }
}

// The arc through the ends of a piece whose tangents meet at t, of radius r:
// its centre lies on the bisector at r / sin(half the angle at t) from t.
HostWorldPt PieceCentre(const Vertex& a, const Vertex& t, const Vertex& b) {
  const double ux = a.p.x - t.p.x, uy = a.p.y - t.p.y, wx = b.p.x - t.p.x, wy = b.p.y - t.p.y;
  const double lu = std::hypot(ux, uy), lw = std::hypot(wx, wy);
  const double bx = ux / lu + wx / lw, by = uy / lu + wy / lw, lb = std::hypot(bx, by);
  const double half = std::acos(std::clamp((ux * wx + uy * wy) / (lu * lw), -1.0, 1.0)) / 2;
  const double d = t.radius / std::sin(half);
  return HostWorldPt{t.p.y + by / lb * d, t.p.x + bx / lb * d};
}

TEST_F(Routines, CircularArcsBecomeArcVerticesOfAtMostAQuarterTurn) {
  struct Case {
    Object arc;
    size_t pieces;
  };
  for (const Case& c : {Case{Arc(3, -2, 10, 20, 30), 1}, Case{Arc(3, -2, 10, 20, 90), 1},
                        Case{Arc(3, -2, 10, 20, 91), 2}, Case{Arc(3, -2, 10, 0, 180), 2},
                        Case{Arc(3, -2, 10, 45, 270), 3}, Case{Arc(3, -2, 10, 0, 360), 4},
                        Case{Arc(0, 0, 1, 90, -180), 2}, Case{Arc(0, 0, 1, 0, 400), 4}}) {
    const ObjectHandle h = host.Add(c.arc);
    ASSERT_EQ(Routine<ConvertToPolylineFn>(kSelConvertToPolyline)(h, 0), h);
    const Object& o = host.Get(h);
    ASSERT_EQ(o.vertices.size(), 2 * c.pieces + 1) << c.arc.sweepDeg;
    const double r = c.arc.hRadius;
    for (size_t i = 0; i < o.vertices.size(); i += 2) {
      const Vertex& v = o.vertices[i];
      EXPECT_EQ(v.type, 0);
      EXPECT_NEAR(std::hypot(v.p.x - c.arc.center.x, v.p.y - c.arc.center.y), r, 1e-12 * r);
      if (i == 0) continue;
      const Vertex& t = o.vertices[i - 1];
      EXPECT_EQ(t.type, 3);
      EXPECT_EQ(t.radius, r);
      // Each piece is a true arc of the original circle.
      const HostWorldPt m = PieceCentre(o.vertices[i - 2], t, v);
      EXPECT_NEAR(m.x, c.arc.center.x, 1e-9 * r) << c.arc.sweepDeg << " piece " << i / 2;
      EXPECT_NEAR(m.y, c.arc.center.y, 1e-9 * r) << c.arc.sweepDeg << " piece " << i / 2;
    }
    const double sweep = std::clamp(c.arc.sweepDeg, -360.0, 360.0);
    const double end = (c.arc.startDeg + sweep) * 3.14159265358979323846 / 180;
    EXPECT_NEAR(o.vertices.back().p.x, c.arc.center.x + r * std::cos(end), 1e-12 * r);
    EXPECT_NEAR(o.vertices.back().p.y, c.arc.center.y + r * std::sin(end), 1e-12 * r);
  }
}

TEST_F(Routines, EllipticArcsBecomeChordsWithinAMillionthOfTheirSize) {
  for (const Object& arc : {EllipticArc(1, 2, 20, 10, 0, 360), EllipticArc(0, 0, 0.001, 0.0004, 30, 200),
                            EllipticArc(-5, 5, 3, 7, 350, -90)}) {
    const ObjectHandle h = host.Add(arc);
    ASSERT_EQ(Routine<ConvertToPolylineFn>(kSelConvertToPolyline)(h, 0), h);
    const Object& o = host.Get(h);
    ASSERT_LT(o.vertices.size(), 32767u);
    const double size = std::max(arc.hRadius, arc.vRadius);
    // Between two neighbouring corners, the curve's midpoint (in its
    // parameter) is where a chord strays furthest.
    const double a = arc.hRadius, b = arc.vRadius, step = arc.sweepDeg / double(o.vertices.size() - 1);
    double worst = 0;
    for (size_t i = 0; i + 1 < o.vertices.size(); ++i) {
      const Vertex& p = o.vertices[i];
      const Vertex& q = o.vertices[i + 1];
      EXPECT_EQ(p.type, 0);
      const double t = (arc.startDeg + step * (double(i) + 0.5)) * 3.14159265358979323846 / 180;
      const double mx = arc.center.x + a * std::cos(t), my = arc.center.y + b * std::sin(t);
      const double cx = q.p.x - p.p.x, cy = q.p.y - p.p.y;
      worst = std::max(worst, std::fabs(cx * (my - p.p.y) - cy * (mx - p.p.x)) / std::hypot(cx, cy));
    }
    EXPECT_LE(worst, 1e-6 * size);
    EXPECT_GT(worst, 1e-7 * size);  // not absurdly fine either
  }
}

TEST_F(Routines, ConversionsWithNewHandlesTakeTheOldPlace) {
  host.settings.convertInPlace = false;
  const ObjectHandle before = host.Add(Line(0, 0, 1, 0));
  const ObjectHandle arc = host.Add(Arc(0, 0, 1, 0, 90));
  const ObjectHandle after = host.Add(Line(0, 1, 1, 1));
  const ObjectHandle poly = Routine<ConvertToPolylineFn>(kSelConvertToPolyline)(arc, 0);
  ASSERT_NE(poly, 0u);
  EXPECT_NE(poly, arc);
  EXPECT_FALSE(host.Alive(arc));
  EXPECT_EQ(host.Objects(), (std::vector<ObjectHandle>{before, poly, after}));
  const ObjectHandle five = Routine<ConvertToType5ObjectFn>(kSelConvertToType5Object)(poly, 0);
  ASSERT_NE(five, 0u);
  EXPECT_NE(five, poly);
  EXPECT_EQ(host.Get(five).type, 5);
  EXPECT_EQ(host.Get(five).vertices.size(), 3u);
  EXPECT_EQ(host.Objects(), (std::vector<ObjectHandle>{before, five, after}));
}

TEST_F(Routines, RefusedCallsAnswerZeroAndLeaveTheDrawing) {
  const ObjectHandle arc = host.Add(Arc(0, 0, 1, 0, 90));
  const ObjectHandle poly = host.Add(Polyline({{0, 0}, {1, 1}}, false, 21));
  host.settings.convertToPolylineFails = true;
  host.settings.convertToType5Fails = true;
  host.settings.createLineFails = true;
  host.settings.createPolylineFails = true;
  host.settings.addClassFails = true;
  const HostWorldPt p = Pt(0, 0);
  EXPECT_EQ(Routine<ConvertToPolylineFn>(kSelConvertToPolyline)(arc, 0), 0u);
  EXPECT_EQ(Routine<ConvertToType5ObjectFn>(kSelConvertToType5Object)(poly, 0), 0u);
  EXPECT_EQ(Routine<CreateLineFn>(kSelCreateLine)(&p, &p), 0u);
  EXPECT_EQ(Routine<CreatePolylineFn>(kSelCreatePolyline)(), 0u);
  EXPECT_EQ(Routine<AddClassFn>(kSelAddClass)("marker"), 0);
  EXPECT_EQ(host.Get(arc).type, 6);
  EXPECT_EQ(host.Get(poly).type, 21);
  EXPECT_EQ(host.ObjectCount(), 2u);
  EXPECT_FALSE(host.FindClass("marker"));
}

// ---- classes ----

TEST_F(Routines, ClassesByName) {
  auto add = Routine<AddClassFn>(kSelAddClass);
  const ClassId a = add("alpha");
  EXPECT_EQ(a, 1);
  const ObjectHandle member = host.Add(InClass(Line(0, 0, 1, 0), a));
  EXPECT_EQ(add("beta"), 2);
  EXPECT_EQ(add("alpha"), a);
  EXPECT_EQ(host.ClassNamed("beta"), 2);
  EXPECT_EQ(host.ClassName(a), "alpha");
  Routine<DeleteClassFn>(kSelDeleteClass)("alpha");
  EXPECT_FALSE(host.FindClass("alpha"));
  EXPECT_EQ(host.Get(member).cls, 0);
  // A deleted class's id is never handed out again, so stale ids stay stale.
  EXPECT_EQ(add("alpha"), 3);
  Routine<DeleteClassFn>(kSelDeleteClass)("never made");
  const ObjectHandle o = host.Add(Line(0, 0, 1, 0));
  Routine<SetObjectClassFn>(kSelSetObjectClass)(o, a);
  ExpectOneViolation("class deleted");
  Routine<SetObjectClassFn>(kSelSetObjectClass)(o, 3);
  EXPECT_EQ(Routine<GetObjectClassFn>(kSelGetObjectClass)(o), 3);
}

// ---- memory blocks ----

TEST_F(Routines, MemoryBlocks) {
  host.settings.newBlockFill = 0x3C;
  MemHandle m = Routine<AllocateHandleFn>(kSelAllocateHandle)(68);
  ASSERT_NE(m, nullptr);
  ASSERT_NE(*m, nullptr);
  EXPECT_EQ(host.BlockSize(m), 68u);
  for (int i = 0; i < 68; ++i) EXPECT_EQ(static_cast<uint8_t>((*m)[i]), 0x3C) << i;
  EXPECT_EQ(host.LiveBlocks(), 1u);
  Routine<FreeHandleFn>(kSelFreeHandle)(m);
  EXPECT_EQ(host.LiveBlocks(), 0u);
  Routine<FreeHandleFn>(kSelFreeHandle)(m);
  ExpectOneViolation("double free");
  char* notABlock = nullptr;
  Routine<FreeHandleFn>(kSelFreeHandle)(&notABlock);
  ExpectOneViolation("unknown handle");
  EXPECT_EQ(Routine<AllocateHandleFn>(kSelAllocateHandle)(-1), nullptr);
  ExpectOneViolation("negative size");
  EXPECT_EQ(host.LiveBlocks(), 0u);
}

// ---- texts ----

TEST_F(Routines, ResourceTextsCoverTheListsTheCommandReads) {
  auto get = Routine<GetResourceStringFn>(kSelGetResourceString);
  struct List {
    int16_t id, first, last;
  };
  for (const List& l : {List{11000, 1, 22}, List{11001, 1, 23}, List{11003, 11, 11}}) {
    for (int16_t i = l.first; i <= l.last; ++i) {
      char buf[256];
      std::memset(buf, 'x', sizeof buf);
      get(l.id, i, buf, 1);
      const size_t n = strnlen(buf, sizeof buf);
      EXPECT_GT(n, 0u) << l.id << "/" << i;
      EXPECT_LT(n, 256u) << l.id << "/" << i;
    }
  }
  char buf[256] = "old";
  get(11000, 23, buf, 1);
  EXPECT_STREQ(buf, "");
  ExpectOneViolation("unknown index");
  get(12345, 1, buf, 1);
  ExpectOneViolation("unknown list");
}

// ---- dispatcher, hooks, log ----

TEST_F(Routines, MissingSelectorsAnswerNull) {
  EXPECT_NE(Dispatch(kSelGetObjectType), nullptr);
  host.SetMissing(kSelGetObjectType);
  EXPECT_EQ(Dispatch(kSelGetObjectType), nullptr);
  host.SetMissing(kSelGetObjectType, false);
  EXPECT_NE(Dispatch(kSelGetObjectType), nullptr);
  EXPECT_EQ(Dispatch(-1), nullptr);
  EXPECT_EQ(Dispatch(5000), nullptr);
  EXPECT_EQ(Dispatch(999), nullptr);
  host.SetMissing(kSelRunLayoutDialog);
  EXPECT_EQ(Dispatch(kSelRunLayoutDialog), nullptr);
}

TEST_F(Routines, HooksRunInsideTheirRoutineAndCallsAreLogged) {
  const ObjectHandle o = host.Add(Line(0, 0, 1, 0));
  int hooked = 0;
  host.SetHook(kSelDeleteObject, [&] {
    ++hooked;
    EXPECT_TRUE(host.Alive(o));  // before the routine's own work
  });
  Routine<GetObjectTypeFn>(kSelGetObjectType)(o);
  Routine<DeleteObjectFn>(kSelDeleteObject)(o, 1);
  EXPECT_EQ(hooked, 1);
  EXPECT_EQ(host.CallTexts(), (std::vector<std::string>{"GetObjectType(1)", "DeleteObject(1, 1)"}));
  EXPECT_EQ(host.Calls()[1].selector, kSelDeleteObject);
  host.settings.logCalls = false;
  const uint64_t count = host.CallCount();
  Routine<SetHostUpdatesFn>(kSelSetHostUpdates)(0);
  EXPECT_EQ(host.CallCount(), count + 1);
  EXPECT_EQ(host.Calls().size(), 2u);
  EXPECT_FALSE(host.UpdatesOn());

  // Streamed, the log goes out line by line and nothing of it is kept.
  std::FILE* stream = std::tmpfile();
  const ObjectHandle kept = host.Add(Line(0, 0, 1, 0));
  host.StreamCallsTo(stream);
  Routine<GetObjectTypeFn>(kSelGetObjectType)(kept);
  host.StreamCallsTo(nullptr);
  std::rewind(stream);
  char line[64] = {};
  ASSERT_NE(std::fgets(line, sizeof line, stream), nullptr);
  EXPECT_EQ(line, "GetObjectType(" + std::to_string(kept) + ")\n");
  EXPECT_EQ(host.Calls().size(), 2u);
  std::fclose(stream);
}

TEST_F(Routines, TheNewestHostIsCurrentUntilItGoes) {
  EXPECT_EQ(CurrentHost(), &host);
  {
    Host other;
    EXPECT_EQ(CurrentHost(), &other);
    host.Activate();
    EXPECT_EQ(CurrentHost(), &host);
    other.Activate();
  }
  EXPECT_EQ(CurrentHost(), &host);
  // Destroyed out of order: the newest live host takes over, never a dead one.
  auto first = std::make_unique<Host>();
  auto second = std::make_unique<Host>();
  first.reset();
  EXPECT_EQ(CurrentHost(), second.get());
  second.reset();
  EXPECT_EQ(CurrentHost(), &host);
}

TEST_F(Routines, FrameRoutinesKeepTheirState) {
  host.settings.worldScale = 2.5;
  double w = 0;
  Routine<ConvertToWorldLengthFn>(kSelConvertToWorldLength)(4, &w);
  EXPECT_EQ(w, 10);
  host.hostPoint = Pt(3, 4);
  HostWorldPt p{};
  Routine<GetHostPointFn>(kSelGetHostPoint)(&p);
  EXPECT_EQ(p.x, 3);
  const HostWorldPt q = Pt(7, 8);
  Routine<SetHostPointFn>(kSelSetHostPoint)(&q);
  EXPECT_EQ(host.hostPoint.y, 8);
  Routine<SetCommandModeFn>(kSelSetCommandMode)(0);
  EXPECT_EQ(host.CommandMode(), 0);
}

}  // namespace
