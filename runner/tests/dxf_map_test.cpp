#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "dxf/drawing.h"
#include "hostapp/builders.h"
#include "test_files.h"

using namespace drawclean;
using hostapp::Host;

namespace {

// A small drawing in the style of a 2000-format file: handles, subclass markers.
std::string Drawing(const std::string& entities) {
  return "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  9\n$HANDSEED\n  5\n100\n"
         "  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n" + entities + "  0\nENDSEC\n  0\nEOF\n";
}

const std::string kLine =
    "  0\nLINE\n  5\n20\n330\n1F\n100\nAcDbEntity\n  8\nWalls\n 62\n1\n370\n25\n100\nAcDbLine\n"
    " 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n10.0\n 21\n0.0\n 31\n0.0\n1001\nAPP\n1000\nkeep me\n";
const std::string kText = "  0\nTEXT\n  5\n21\n  8\nNotes\n 10\n1.0\n 20\n2.0\n  1\nhello\n";

struct Loaded {
  Host host;
  DxfDrawing dxf;
};

void Load(Loaded& l, const std::string& text) {
  std::string error;
  ASSERT_TRUE(LoadDxf(text, l.host, l.dxf, &error)) << error;
}

}  // namespace

TEST(DxfMap, EverySampleLoadsAndSavesUnchangedByteForByte) {
  if (!std::filesystem::is_directory(DXF_SAMPLES_DIR)) GTEST_SKIP();
  for (auto& e : std::filesystem::directory_iterator(DXF_SAMPLES_DIR)) {
    if (e.path().extension() != ".dxf") continue;
    std::string text = ReadAll(e.path());
    Loaded l;
    std::string error;
    ASSERT_TRUE(LoadDxf(text, l.host, l.dxf, &error)) << e.path() << ": " << error;
    EXPECT_EQ(SaveDxf(l.dxf, l.host, "marker"), text) << e.path();
  }
}

TEST(DxfMap, EntitiesBecomeHostObjectsWithTheirProperties) {
  Loaded l;
  Load(l, Drawing(kLine + kText +
                  "  0\nCIRCLE\n  8\nWalls\n 10\n1.0\n 20\n2.0\n 40\n3.0\n"
                  "  0\nARC\n  8\n0\n 10\n0\n 20\n0\n 40\n1\n 50\n350\n 51\n10\n"
                  "  0\nELLIPSE\n  8\n0\n 10\n0\n 20\n0\n 11\n0\n 21\n4\n 40\n0.5\n 41\n0\n 42\n3.141592653589793\n"
                  "  0\nPOINT\n  8\n0\n 10\n1\n 20\n2\n 30\n0\n"
                  "  0\nPOINT\n  8\n0\n 10\n1\n 20\n2\n 30\n5\n"
                  "  0\nPOINT\n  8\n0\n 67\n1\n 10\n1\n 20\n2\n"));
  auto objs = l.host.Objects();
  ASSERT_EQ(objs.size(), 6u);  // TEXT and the paper-space point pass through
  const auto& line = l.host.Get(objs[0]);
  EXPECT_EQ(line.type, 2);
  EXPECT_EQ(l.host.ClassName(line.cls), "Walls");
  EXPECT_EQ(line.attr.wordA, 1);
  EXPECT_EQ(line.attr.wordB, 25);
  EXPECT_EQ(line.second.x, 10.0);
  EXPECT_EQ(l.host.Get(objs[1]).sweepDeg, 360.0);
  const auto& arc = l.host.Get(objs[2]);
  EXPECT_EQ(arc.startDeg, 350.0);
  EXPECT_NEAR(arc.sweepDeg, 20.0, 1e-12);
  const auto& ellipse = l.host.Get(objs[3]);  // major axis along +y
  EXPECT_EQ(ellipse.hRadius, 2.0);
  EXPECT_EQ(ellipse.vRadius, 4.0);
  EXPECT_EQ(ellipse.startDeg, 90.0);
  EXPECT_NEAR(ellipse.sweepDeg, 180.0, 1e-12);
  EXPECT_EQ(l.host.Get(objs[4]).type, 17);
  EXPECT_EQ(l.host.Get(objs[5]).type, 9);
}

TEST(DxfMap, ChangedEntityKeepsItsOtherTagsAndRemovedOneGoes) {
  Loaded l;
  Load(l, Drawing(kLine + kText + "  0\nPOINT\n  5\n22\n  8\n0\n 10\n1\n 20\n2\n"));
  auto objs = l.host.Objects();
  l.host.Edit(objs[0]).second = hostapp::Pt(-724.9812134527413, 3.0);
  l.host.Remove(objs[1]);
  std::string out = SaveDxf(l.dxf, l.host, "marker");
  std::string expectLine = kLine;
  expectLine.replace(expectLine.find(" 11\n10.0\n 21\n0.0"), 16, " 11\n-724.9812134527413\n 21\n3.0");
  EXPECT_EQ(out, Drawing(expectLine + kText));
}

TEST(DxfMap, NewObjectGetsFreshHandleAndInheritedProperties) {
  Loaded l;
  Load(l, Drawing(kLine));
  ObjectHandle old = l.host.Objects()[0];
  hostapp::Object fresh = hostapp::Polyline({{0, 0}, {5, 5}, {10, 0}});
  fresh.attr = l.host.Get(old).attr;  // as CopyAttributes leaves it
  fresh.cls = l.host.Get(old).cls;
  l.host.Add(fresh);
  l.host.Remove(old);
  std::string out = SaveDxf(l.dxf, l.host, "marker");
  EXPECT_NE(out.find("  0\nLWPOLYLINE\n  5\n100\n330\n1F\n100\nAcDbEntity\n  8\nWalls\n 62\n1\n370\n25\n"),
            std::string::npos) << out;
  EXPECT_NE(out.find("$HANDSEED\n  5\n101\n"), std::string::npos);
  EXPECT_EQ(out.find("LINE\n  5\n20"), std::string::npos);
}

TEST(DxfMap, BulgesBecomeArcVerticesAndComeBack) {
  struct Case {
    const char* name;
    std::vector<BulgeVertex> in;
    bool closed;
    size_t arcVertices;
  };
  const Case cases[] = {
      {"quarter turn left", {{1, 0, std::tan(M_PI / 8)}, {0, 1, 0}}, false, 1},
      {"quarter turn right", {{0, 1, -std::tan(M_PI / 8)}, {1, 0, 0}}, false, 1},
      {"half circle splits", {{-1, 0, 1.0}, {1, 0, 0}}, false, 2},
      {"closed donut", {{-1, 0, 1.0}, {1, 0, 1.0}}, true, 4},
      {"straight", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, false, 0},
  };
  for (const Case& c : cases) {
    auto vs = VerticesFromBulges(c.in, c.closed);
    size_t arcs = std::count_if(vs.begin(), vs.end(), [](auto& v) { return v.type == 3; });
    EXPECT_EQ(arcs, c.arcVertices) << c.name;
    auto back = BulgesFromVertices(vs, c.closed);
    // Split arcs come back as more, smaller bulges along the same curve.
    ASSERT_GE(back.size(), c.in.size()) << c.name;
    if (c.arcVertices <= 1) {
      ASSERT_EQ(back.size(), c.in.size()) << c.name;
      for (size_t i = 0; i < back.size(); ++i) {
        EXPECT_EQ(back[i].x, c.in[i].x) << c.name;
        EXPECT_EQ(back[i].y, c.in[i].y) << c.name;
        EXPECT_NEAR(back[i].bulge, c.in[i].bulge, 1e-12) << c.name;
      }
    }
  }
  // The arc vertex sits where the tangents at the arc's ends meet.
  auto vs = VerticesFromBulges({{1, 0, std::tan(M_PI / 8)}, {0, 1, 0}}, false);
  ASSERT_EQ(vs.size(), 3u);
  EXPECT_NEAR(vs[1].p.x, 1.0, 1e-12);
  EXPECT_NEAR(vs[1].p.y, 1.0, 1e-12);
  EXPECT_NEAR(vs[1].radius, 1.0, 1e-12);
}

TEST(DxfMap, MalformedNumberNamesTheLine) {
  Host host;
  DxfDrawing d;
  std::string error;
  EXPECT_FALSE(LoadDxf(Drawing("  0\nLINE\n  8\n0\n 10\nabc\n"), host, d, &error));
  EXPECT_NE(error.find("line 24: LINE: group 10 value 'abc' is not a finite number"), std::string::npos)
      << error;
}

// Writers round the end of a full turn; what reads as a full turn is one, and
// an entity no pass changed keeps its bytes however its angles were written.
TEST(DxfMap, ArcSpansReadModuloOneTurnKeepFullTurns) {
  struct Case {
    std::string angles;
    double startDeg, sweepDeg;
  };
  const std::string arc = "  0\nARC\n  5\n30\n  8\n0\n 10\n0\n 20\n0\n 40\n5\n";
  const std::string ellipse = "  0\nELLIPSE\n  5\n31\n  8\n0\n 10\n0\n 20\n0\n 11\n400\n 21\n0\n 40\n0.75\n";
  const Case cases[] = {
      {arc + " 50\n0\n 51\n360.0000000001\n", 0, 360},
      {arc + " 50\n0\n 51\n359.9999999999\n", 0, 360},
      {arc + " 50\n90\n 51\n89.9999999999\n", 90, 360},
      {arc + " 50\n45\n 51\n45\n", 45, 360},
      {arc + " 50\n359.75\n 51\n0.25\n", 359.75, 0.5},
      {ellipse + " 41\n0\n 42\n6.28318530718\n", 0, 360},
      {ellipse + " 41\n0\n 42\n6.283185307179\n", 0, 360},
      {ellipse + " 41\n6.28\n 42\n0.00681469282\n", 6.28 * 180 / M_PI, 0.01 * 180 / M_PI},
  };
  for (const Case& c : cases) {
    Loaded l;
    const std::string text = Drawing(c.angles);
    Load(l, text);
    ASSERT_EQ(l.host.Objects().size(), 1u) << c.angles;
    const auto& o = l.host.Get(l.host.Objects()[0]);
    EXPECT_NEAR(o.startDeg, c.startDeg, 1e-9) << c.angles;
    if (c.sweepDeg == 360) EXPECT_EQ(o.sweepDeg, 360.0) << c.angles;
    else EXPECT_NEAR(o.sweepDeg, c.sweepDeg, 1e-9) << c.angles;
    EXPECT_EQ(SaveDxf(l.dxf, l.host, "marker"), text) << c.angles;
  }
}
