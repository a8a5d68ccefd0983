// Each entity kind the host models, end to end: read into a host object
// (every field checked), changed and written in place, and written as a new
// entity in the R2000 and the R12 form.
#include <gtest/gtest.h>

#include <functional>

#include "dxf/drawing.h"
#include "dxf/splice.h"

using namespace drawclean;
using hostapp::Host;
using hostapp::Object;

namespace {

std::string Dxf(const std::string& version, const std::string& entities) {
  return "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\n" + version + "\n  9\n$HANDSEED\n  5\n100\n"
         "  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n" + entities + "  0\nENDSEC\n  0\nEOF\n";
}

// The same entities as an R12 writer gives them: no handles, owners or
// subclass markers.
std::string R12Form(const std::string& entities) {
  auto f = ParseDxf(entities + "  0\nEOF\n", nullptr);
  std::string out;
  for (size_t i = 0; i + 1 < f->tags.size(); ++i)
    if (f->tags[i].code != 5 && f->tags[i].code != 330 && f->tags[i].code != 100) out += RawTags(*f, i, i + 1);
  return out;
}

// The ENTITIES section of a written file, a "code value" line a tag.
std::string EntitiesOf(const std::string& text) {
  auto f = ParseDxf(text, nullptr);
  if (!f) return "(unreadable)";
  std::string out;
  for (const DxfSection& s : FindSections(*f))
    if (s.name == "ENTITIES")
      for (size_t i = s.body; i < s.end; ++i)
        out += std::to_string(f->tags[i].code) + " " + std::string(Trimmed(f->tags[i].value)) + "\n";
  return out;
}

// Layer L1, linetype DASHED, colour 1, lineweight 25 and true colour 0
// (black, not "none").
const std::string kHead = "  5\n2A\n330\n1F\n100\nAcDbEntity\n  8\nL1\n  6\nDASHED\n 62\n1\n370\n25\n420\n0\n";
const std::string kNewHead2000 = "5 100\n330 1F\n100 AcDbEntity\n8 L1\n6 DASHED\n62 1\n370 25\n420 0\n";
const std::string kNewHead12 = "8 L1\n6 DASHED\n62 1\n";

struct KindCase {
  const char* name;
  std::string body;                          // the entity after its common head
  std::function<void(const Object&)> check;  // every field the entity gives
  std::function<void(Object&)> change;
  std::string changed;                       // the entity written after the change
  std::string fresh2000, fresh12;            // the changed object as a new entity
};

void ExpectCommonProperties(const Host& host, const Object& o, const std::string& what) {
  EXPECT_EQ(host.ClassName(o.cls), "L1") << what;
  EXPECT_EQ(o.attr.wordA, 1) << what;
  EXPECT_EQ(o.attr.wordB, 25) << what;
  EXPECT_EQ(o.attr.longAttr, 0x1000000) << what << ": true colour 0 is black, not none";
  EXPECT_EQ(o.attr.record[2] | o.attr.record[3] << 8, 1) << what << ": the first linetype named";
  EXPECT_EQ(o.attr.flags[0], 0) << what;
  EXPECT_EQ(o.attr.group, 1) << what;
}

void RunKind(const KindCase& c) {
  const std::string entity = "  0\n" + std::string(c.name) + "\n" + kHead + c.body;
  Host host;
  DxfDrawing d;
  std::string error;
  ASSERT_TRUE(LoadDxf(Dxf("AC1015", entity), host, d, &error)) << c.name << ": " << error;
  ASSERT_EQ(host.Objects().size(), 1u) << c.name;
  const ObjectHandle h = host.Objects()[0];
  ExpectCommonProperties(host, host.Get(h), c.name);
  c.check(host.Get(h));

  c.change(host.Edit(h));
  EXPECT_EQ(EntitiesOf(SaveDxf(d, host, "marker")), c.changed) << c.name << ": changed in place";

  // The changed object as a new one (made from the file's last entity, whose
  // properties and owner it inherits), in each version's form.
  for (const bool r12 : {false, true}) {
    Host h2;
    DxfDrawing d2;
    ASSERT_TRUE(LoadDxf(r12 ? Dxf("AC1009", R12Form(entity)) : Dxf("AC1015", entity), h2, d2, &error)) << error;
    const ObjectHandle old = h2.Objects()[0];
    Object fresh = h2.Get(old);
    c.change(fresh);
    h2.Remove(old);
    h2.Add(fresh);
    EXPECT_EQ(EntitiesOf(SaveDxf(d2, h2, "marker")), r12 ? c.fresh12 : c.fresh2000)
        << c.name << (r12 ? ": new, R12" : ": new, R2000");
  }
}

HostWorldPt Pt(double x, double y) { return HostWorldPt{y, x}; }

}  // namespace

TEST(DxfKinds, Line) {
  RunKind({"LINE", "100\nAcDbLine\n 10\n1.0\n 20\n2.0\n 30\n0.0\n 11\n4.0\n 21\n6.0\n 31\n0.0\n",
           [](const Object& o) {
             EXPECT_EQ(o.type, 2);
             EXPECT_EQ(o.first.x, 1.0); EXPECT_EQ(o.first.y, 2.0);
             EXPECT_EQ(o.second.x, 4.0); EXPECT_EQ(o.second.y, 6.0);
           },
           // A pass that clears the long attribute leaves the inherited true colour.
           [](Object& o) { o.second = Pt(7, 8), o.attr.longAttr = 0; },
           "0 LINE\n5 2A\n330 1F\n100 AcDbEntity\n8 L1\n6 DASHED\n62 1\n370 25\n420 0\n"
           "100 AcDbLine\n10 1.0\n20 2.0\n30 0.0\n11 7.0\n21 8.0\n31 0.0\n",
           "0 LINE\n" + kNewHead2000 + "100 AcDbLine\n10 1.0\n20 2.0\n30 0.0\n11 7.0\n21 8.0\n31 0.0\n",
           "0 LINE\n" + kNewHead12 + "10 1.0\n20 2.0\n30 0.0\n11 7.0\n21 8.0\n31 0.0\n"});
}

TEST(DxfKinds, CircleAndArc) {
  RunKind({"CIRCLE", "100\nAcDbCircle\n 10\n1.0\n 20\n2.0\n 30\n0.0\n 40\n3.0\n",
           [](const Object& o) {
             EXPECT_EQ(o.type, 6);
             EXPECT_EQ(o.center.x, 1.0); EXPECT_EQ(o.center.y, 2.0);
             EXPECT_EQ(o.hRadius, 3.0); EXPECT_EQ(o.vRadius, 3.0);
             EXPECT_EQ(o.startDeg, 0.0); EXPECT_EQ(o.sweepDeg, 360.0);
           },
           [](Object& o) { o.hRadius = o.vRadius = 5; },
           "0 CIRCLE\n5 2A\n330 1F\n100 AcDbEntity\n8 L1\n6 DASHED\n62 1\n370 25\n420 0\n"
           "100 AcDbCircle\n10 1.0\n20 2.0\n30 0.0\n40 5.0\n",
           "0 CIRCLE\n" + kNewHead2000 + "100 AcDbCircle\n10 1.0\n20 2.0\n30 0.0\n40 5.0\n",
           "0 CIRCLE\n" + kNewHead12 + "10 1.0\n20 2.0\n30 0.0\n40 5.0\n"});
  RunKind({"ARC", "100\nAcDbCircle\n 10\n1.0\n 20\n2.0\n 30\n0.0\n 40\n3.0\n100\nAcDbArc\n 50\n30.0\n 51\n120.0\n",
           [](const Object& o) {
             EXPECT_EQ(o.type, 6);
             EXPECT_EQ(o.center.x, 1.0); EXPECT_EQ(o.center.y, 2.0);
             EXPECT_EQ(o.hRadius, 3.0); EXPECT_EQ(o.vRadius, 3.0);
             EXPECT_EQ(o.startDeg, 30.0); EXPECT_EQ(o.sweepDeg, 90.0);
           },
           [](Object& o) { o.sweepDeg = 180; },
           "0 ARC\n5 2A\n330 1F\n100 AcDbEntity\n8 L1\n6 DASHED\n62 1\n370 25\n420 0\n"
           "100 AcDbCircle\n10 1.0\n20 2.0\n30 0.0\n40 3.0\n100 AcDbArc\n50 30.0\n51 210.0\n",
           "0 ARC\n" + kNewHead2000 + "100 AcDbCircle\n10 1.0\n20 2.0\n30 0.0\n40 3.0\n100 AcDbArc\n50 30.0\n51 210.0\n",
           "0 ARC\n" + kNewHead12 + "10 1.0\n20 2.0\n30 0.0\n40 3.0\n50 30.0\n51 210.0\n"});
}

TEST(DxfKinds, Ellipse) {
  // Major axis along +y: the host's angles start from +x, a quarter turn on.
  RunKind({"ELLIPSE",
           "100\nAcDbEllipse\n 10\n1.0\n 20\n2.0\n 30\n0.0\n 11\n0.0\n 21\n4.0\n 31\n0.0\n 40\n0.5\n"
           " 41\n0.0\n 42\n3.141592653589793\n",
           [](const Object& o) {
             EXPECT_EQ(o.type, 6);
             EXPECT_EQ(o.center.x, 1.0); EXPECT_EQ(o.center.y, 2.0);
             EXPECT_EQ(o.hRadius, 2.0); EXPECT_EQ(o.vRadius, 4.0);
             EXPECT_EQ(o.startDeg, 90.0); EXPECT_NEAR(o.sweepDeg, 180.0, 1e-12);
           },
           [](Object& o) { o.center = Pt(3, 2); },
           "0 ELLIPSE\n5 2A\n330 1F\n100 AcDbEntity\n8 L1\n6 DASHED\n62 1\n370 25\n420 0\n"
           "100 AcDbEllipse\n10 3.0\n20 2.0\n30 0.0\n11 0.0\n21 4.0\n31 0.0\n40 0.5\n41 0.0\n42 3.141592653589793\n",
           "0 ELLIPSE\n" + kNewHead2000 +
               "100 AcDbEllipse\n10 3.0\n20 2.0\n30 0.0\n11 0.0\n21 4.0\n40 0.5\n41 0.0\n42 3.141592653589793\n",
           "0 ELLIPSE\n" + kNewHead12 + "10 3.0\n20 2.0\n30 0.0\n11 0.0\n21 4.0\n40 0.5\n41 0.0\n42 3.141592653589793\n"});
}

TEST(DxfKinds, PointFlatAndRaised) {
  RunKind({"POINT", "100\nAcDbPoint\n 10\n1.0\n 20\n2.0\n 30\n0.0\n",
           [](const Object& o) {
             EXPECT_EQ(o.type, 17);
             EXPECT_EQ(o.point.x, 1.0); EXPECT_EQ(o.point.y, 2.0);
           },
           [](Object& o) { o.point = Pt(5, 6); },
           "0 POINT\n5 2A\n330 1F\n100 AcDbEntity\n8 L1\n6 DASHED\n62 1\n370 25\n420 0\n"
           "100 AcDbPoint\n10 5.0\n20 6.0\n30 0.0\n",
           "0 POINT\n" + kNewHead2000 + "100 AcDbPoint\n10 5.0\n20 6.0\n30 0.0\n",
           "0 POINT\n" + kNewHead12 + "10 5.0\n20 6.0\n30 0.0\n"});
  RunKind({"POINT", "100\nAcDbPoint\n 10\n1.0\n 20\n2.0\n 30\n3.0\n",
           [](const Object& o) {
             EXPECT_EQ(o.type, 9);
             EXPECT_EQ(o.point3d.x, 1.0); EXPECT_EQ(o.point3d.y, 2.0); EXPECT_EQ(o.point3d.z, 3.0);
           },
           [](Object& o) { o.point3d.z = 4; },
           "0 POINT\n5 2A\n330 1F\n100 AcDbEntity\n8 L1\n6 DASHED\n62 1\n370 25\n420 0\n"
           "100 AcDbPoint\n10 1.0\n20 2.0\n30 4.0\n",
           "0 POINT\n" + kNewHead2000 + "100 AcDbPoint\n10 1.0\n20 2.0\n30 4.0\n",
           "0 POINT\n" + kNewHead12 + "10 1.0\n20 2.0\n30 4.0\n"});
}

TEST(DxfKinds, Face) {
  const std::string corners = "10 0.0\n20 0.0\n30 0.0\n11 1.0\n21 0.0\n31 0.0\n12 1.0\n22 1.0\n32 1.0\n"
                              "13 0.0\n23 1.0\n33 7.0\n70 5\n";
  RunKind({"3DFACE",
           "100\nAcDbFace\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n1.0\n 21\n0.0\n 31\n0.0\n 12\n1.0\n 22\n1.0\n"
           " 32\n1.0\n 13\n0.0\n 23\n1.0\n 33\n2.0\n 70\n5\n",
           [](const Object& o) {
             EXPECT_EQ(o.type, 15);
             const double want[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 1}, {0, 1, 2}};
             for (int i = 0; i < 4; ++i) {
               EXPECT_EQ(o.points3d[i].x, want[i][0]) << "corner " << i;
               EXPECT_EQ(o.points3d[i].y, want[i][1]) << "corner " << i;
               EXPECT_EQ(o.points3d[i].z, want[i][2]) << "corner " << i;
             }
             EXPECT_EQ(o.attr.longC, 5);  // invisible edges
           },
           [](Object& o) { o.points3d[3].z = 7; },
           "0 3DFACE\n5 2A\n330 1F\n100 AcDbEntity\n8 L1\n6 DASHED\n62 1\n370 25\n420 0\n100 AcDbFace\n" + corners,
           "0 3DFACE\n" + kNewHead2000 + "100 AcDbFace\n" + corners, "0 3DFACE\n" + kNewHead12 + corners});
}

TEST(DxfKinds, LwPolyline) {
  // Open, with a bulge on its last vertex, which starts no segment: no arc.
  RunKind({"LWPOLYLINE",
           "100\nAcDbPolyline\n 90\n3\n 70\n0\n 10\n0.0\n 20\n0.0\n 10\n4.0\n 20\n0.0\n 10\n4.0\n 20\n3.0\n 42\n0.5\n",
           [](const Object& o) {
             EXPECT_EQ(o.type, 5);
             EXPECT_FALSE(o.closed);
             ASSERT_EQ(o.vertices.size(), 3u);
             const double want[3][2] = {{0, 0}, {4, 0}, {4, 3}};
             for (int i = 0; i < 3; ++i) {
               EXPECT_EQ(o.vertices[i].p.x, want[i][0]); EXPECT_EQ(o.vertices[i].p.y, want[i][1]);
               EXPECT_EQ(o.vertices[i].type, 0);
             }
           },
           [](Object& o) { o.vertices[2].p = Pt(5, 3); },
           "0 LWPOLYLINE\n5 2A\n330 1F\n100 AcDbEntity\n8 L1\n6 DASHED\n62 1\n370 25\n420 0\n"
           "100 AcDbPolyline\n90 3\n70 0\n10 0.0\n20 0.0\n10 4.0\n20 0.0\n10 5.0\n20 3.0\n",
           "0 LWPOLYLINE\n" + kNewHead2000 + "100 AcDbPolyline\n90 3\n70 0\n10 0.0\n20 0.0\n10 4.0\n20 0.0\n10 5.0\n20 3.0\n",
           // Before R2000 a new polyline is a POLYLINE with its vertices.
           "0 POLYLINE\n" + kNewHead12 + "66 1\n10 0.0\n20 0.0\n30 0.0\n70 0\n" +
               "0 VERTEX\n" + kNewHead12 + "10 0.0\n20 0.0\n30 0.0\n70 0\n" +
               "0 VERTEX\n" + kNewHead12 + "10 4.0\n20 0.0\n30 0.0\n70 0\n" +
               "0 VERTEX\n" + kNewHead12 + "10 5.0\n20 3.0\n30 0.0\n70 0\n" + "0 SEQEND\n" + kNewHead12});
}

TEST(DxfKinds, Polyline2dAnd3d) {
  const std::string vertices2d = "  0\nVERTEX\n  8\nL1\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 70\n0\n"
                                 "  0\nVERTEX\n  8\nL1\n 10\n2.0\n 20\n0.0\n 30\n0.0\n 70\n0\n"
                                 "  0\nVERTEX\n  8\nL1\n 10\n2.0\n 20\n2.0\n 30\n0.0\n 70\n0\n  0\nSEQEND\n  8\nL1\n";
  RunKind({"POLYLINE", "100\nAcDb2dPolyline\n 66\n1\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 70\n1\n" + vertices2d,
           [](const Object& o) {
             EXPECT_EQ(o.type, 5);
             EXPECT_TRUE(o.closed);
             ASSERT_EQ(o.vertices.size(), 3u);
             EXPECT_EQ(o.vertices[2].p.x, 2.0); EXPECT_EQ(o.vertices[2].p.y, 2.0);
           },
           [](Object& o) { o.vertices[2].p = Pt(3, 2); },
           "0 POLYLINE\n5 2A\n330 1F\n100 AcDbEntity\n8 L1\n6 DASHED\n62 1\n370 25\n420 0\n"
           "100 AcDb2dPolyline\n66 1\n10 0.0\n20 0.0\n30 0.0\n70 1\n"
           "0 VERTEX\n8 L1\n10 0.0\n20 0.0\n30 0.0\n70 0\n0 VERTEX\n8 L1\n10 2.0\n20 0.0\n30 0.0\n70 0\n"
           "0 VERTEX\n8 L1\n10 3.0\n20 2.0\n30 0.0\n70 0\n0 SEQEND\n8 L1\n",
           // Kept a POLYLINE where the version has LWPOLYLINE: it replaces one.
           "0 LWPOLYLINE\n" + kNewHead2000 + "100 AcDbPolyline\n90 3\n70 1\n10 0.0\n20 0.0\n10 2.0\n20 0.0\n10 3.0\n20 2.0\n",
           "0 POLYLINE\n" + kNewHead12 + "66 1\n10 0.0\n20 0.0\n30 0.0\n70 1\n" +
               "0 VERTEX\n" + kNewHead12 + "10 0.0\n20 0.0\n30 0.0\n70 0\n" +
               "0 VERTEX\n" + kNewHead12 + "10 2.0\n20 0.0\n30 0.0\n70 0\n" +
               "0 VERTEX\n" + kNewHead12 + "10 3.0\n20 2.0\n30 0.0\n70 0\n" + "0 SEQEND\n" + kNewHead12});
  const std::string vertices3d = "  0\nVERTEX\n  8\nL1\n 10\n0.0\n 20\n0.0\n 30\n1.0\n 70\n32\n"
                                 "  0\nVERTEX\n  8\nL1\n 10\n2.0\n 20\n0.0\n 30\n2.0\n 70\n32\n  0\nSEQEND\n  8\nL1\n";
  RunKind({"POLYLINE", "100\nAcDb3dPolyline\n 66\n1\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 70\n8\n" + vertices3d,
           [](const Object& o) {
             EXPECT_EQ(o.type, 25);
             EXPECT_FALSE(o.closed);
             ASSERT_EQ(o.vertices3d.size(), 2u);
             EXPECT_EQ(o.vertices3d[0].z, 1.0);
             EXPECT_EQ(o.vertices3d[1].x, 2.0); EXPECT_EQ(o.vertices3d[1].z, 2.0);
           },
           [](Object& o) { o.vertices3d[1].z = 5; },
           "0 POLYLINE\n5 2A\n330 1F\n100 AcDbEntity\n8 L1\n6 DASHED\n62 1\n370 25\n420 0\n"
           "100 AcDb3dPolyline\n66 1\n10 0.0\n20 0.0\n30 0.0\n70 8\n"
           "0 VERTEX\n8 L1\n10 0.0\n20 0.0\n30 1.0\n70 32\n0 VERTEX\n8 L1\n10 2.0\n20 0.0\n30 5.0\n70 32\n0 SEQEND\n8 L1\n",
           "0 POLYLINE\n" + kNewHead2000 + "100 AcDb3dPolyline\n66 1\n10 0.0\n20 0.0\n30 0.0\n70 8\n" +
               "0 VERTEX\n5 101\n330 100\n100 AcDbEntity\n8 L1\n6 DASHED\n62 1\n370 25\n420 0\n"
               "100 AcDbVertex\n100 AcDb3dPolylineVertex\n10 0.0\n20 0.0\n30 1.0\n70 32\n"
               "0 VERTEX\n5 102\n330 100\n100 AcDbEntity\n8 L1\n6 DASHED\n62 1\n370 25\n420 0\n"
               "100 AcDbVertex\n100 AcDb3dPolylineVertex\n10 2.0\n20 0.0\n30 5.0\n70 32\n"
               "0 SEQEND\n5 103\n330 100\n100 AcDbEntity\n8 L1\n6 DASHED\n62 1\n370 25\n420 0\n",
           "0 POLYLINE\n" + kNewHead12 + "66 1\n10 0.0\n20 0.0\n30 0.0\n70 8\n" +
               "0 VERTEX\n" + kNewHead12 + "10 0.0\n20 0.0\n30 1.0\n70 32\n" +
               "0 VERTEX\n" + kNewHead12 + "10 2.0\n20 0.0\n30 5.0\n70 32\n" + "0 SEQEND\n" + kNewHead12});
}
