// What the runner tells the user: entities passed through by kind, the
// progress line, and the before/after picture read by its SVG elements.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "dxf/backdrop.h"
#include "dxf/drawing.h"
#include "report.h"
#include "run.h"
#include "svg.h"

namespace drawclean {
namespace {

std::string Dxf(const std::string& entities, const std::string& blocks = "") {
  return "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1015\n0\nENDSEC\n" +
         (blocks.empty() ? "" : "0\nSECTION\n2\nBLOCKS\n" + blocks + "0\nENDSEC\n") +
         "0\nSECTION\n2\nENTITIES\n" + entities + "0\nENDSEC\n0\nEOF\n";
}

const char* const kText = "0\nTEXT\n8\n0\n10\n5.0\n20\n7.0\n40\n2.5\n1\nKITCHEN %%c20\n";
const char* const kMesh = "0\nPOLYLINE\n8\n0\n66\n1\n70\n16\n71\n2\n72\n2\n"
                          "0\nVERTEX\n8\n0\n10\n0\n20\n0\n70\n64\n0\nVERTEX\n8\n0\n10\n1\n20\n0\n70\n64\n"
                          "0\nVERTEX\n8\n0\n10\n0\n20\n1\n70\n64\n0\nVERTEX\n8\n0\n10\n1\n20\n1\n70\n64\n0\nSEQEND\n";
const char* const kHatch = "0\nHATCH\n8\n0\n10\n0\n20\n0\n2\nSOLID\n70\n1\n71\n0\n91\n1\n"
                           "92\n2\n72\n0\n73\n1\n93\n3\n10\n0\n20\n0\n10\n4\n20\n0\n10\n4\n20\n3\n97\n0\n"
                           "75\n0\n76\n1\n98\n1\n10\n99\n20\n99\n";
const char* const kLine = "0\nLINE\n8\n0\n10\n0\n20\n0\n11\n10\n21\n0\n";

TEST(PassedThrough, CountsEachKindWithItsReason) {
  struct Case {
    const char* name;
    std::string entities;
    std::string expected;  // PassedThroughText
  };
  const Case cases[] = {
      {"nothing passes", kLine, "none"},
      {"texts and a mesh", std::string(kText) + kText + kMesh + kLine, "2 texts, 1 polygon mesh"},
      {"hatch", kHatch, "1 hatch"},
      {"paper space", "0\nLINE\n8\n0\n67\n1\n10\n0\n20\n0\n11\n1\n21\n0\n", "1 line in paper space"},
      {"tilted circle", "0\nCIRCLE\n8\n0\n10\n0\n20\n0\n40\n1\n210\n1\n220\n0\n230\n0\n",
       "1 circle off the XY plane"},
      {"rotated ellipse", "0\nELLIPSE\n8\n0\n10\n0\n20\n0\n11\n3\n21\n3\n40\n0.5\n", "1 rotated ellipse"},
      {"fitted and polyface", "0\nPOLYLINE\n8\n0\n70\n2\n0\nSEQEND\n0\nPOLYLINE\n8\n0\n70\n64\n0\nSEQEND\n",
       "1 curve-fitted polyline, 1 polyface mesh"},
      {"unknown kind", "0\nGIZMO\n8\n0\n0\nGIZMO\n8\n0\n", "2 GIZMO entities"},
  };
  for (const Case& c : cases) {
    hostapp::Host host;
    DxfDrawing d;
    std::string error;
    ASSERT_TRUE(LoadDxf(Dxf(c.entities), host, d, &error)) << c.name << error;
    EXPECT_EQ(PassedThroughText(PassedThrough(d)), c.expected) << c.name;
  }
}

TEST(PassedThrough, InTheTextAndJsonReport) {
  hostapp::Host host;
  DxfDrawing d;
  ASSERT_TRUE(LoadDxf(Dxf(std::string(kText) + kMesh + kMesh), host, d, nullptr));
  RunResult r;
  ReportContext c;
  c.dxf = true;
  c.passedThrough = PassedThrough(d);
  EXPECT_NE(ReportText(r, c).find("passed through unchanged (no pass handles them): 1 text, 2 polygon meshes"),
            std::string::npos)
      << ReportText(r, c);
  const std::string json = ReportJson(r, c);
  EXPECT_NE(json.find("\"polygon meshes\": 2"), std::string::npos) << json;
  EXPECT_NE(json.find("\"total\": 3"), std::string::npos) << json;
  EXPECT_NE(ReportLine(r, c).find("passed through: 1 text, 2 polygon meshes"), std::string::npos);
}

TEST(Progress, LineNamesThePassAndCountsObjects) {
  struct Case {
    size_t step, steps;
    const char* name;
    size_t visited, total;
    const char* expected;
  };
  const Case cases[] = {
      {3, 8, "duplicates", 12500, 250000, "pass 3 of 8, duplicates: 12,500 of 250,000 objects"},
      {1, 1, "join", 500, 2000, "pass 1 of 1, join: 500 of 2,000 objects"},
      {9, 8, "final sweep", 1000, 1000, "final sweep: 1,000 of 1,000 objects"},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgressLine(c.step, c.steps, c.name, c.visited, c.total), c.expected);
}

TEST(PlainText, FormattingAndEncodings) {
  struct Case {
    std::string in;
    bool mtext;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"%%c20 %%d %%p1", false, {"\u230020 \u00b0 \u00b11"}},
      {"{\\fArial|b1;Bold}\\PSecond\\~line", true, {"Bold", "Second line"}},
      {"\\A1;1\\S1^2;", true, {"11/2"}},
      {"\\U+00E9t\xe9", false, {"\u00e9t\u00e9"}},  // the lone byte read as Latin-1
      {"a\x01<b>", false, {"a<b>"}},
      {"a\\Pb", false, {"a\\Pb"}},  // TEXT has no paragraph code
  };
  for (const Case& c : cases) EXPECT_EQ(PlainTextLines(c.in, c.mtext), c.lines) << c.in;
}

hostapp::Object Line(double x1, double y1, double x2, double y2) {
  hostapp::Object o;
  o.type = 2;
  o.first.x = x1, o.first.y = y1, o.second.x = x2, o.second.y = y2;
  return o;
}

// Count of elements inside the group of the given class in one panel.
size_t InGroup(const std::string& panel, const std::string& cls) {
  const size_t at = panel.find("<g class=\"" + cls + "\"");
  if (at == std::string::npos) return 0;
  const size_t end = panel.find("</g>", at);
  const std::string body = panel.substr(at, end - at);
  size_t n = 0;
  for (size_t p = body.find("\n<"); p != std::string::npos; p = body.find("\n<", p + 1)) ++n;
  return n;
}

std::string Panel(const std::string& svg, const char* side) {
  const size_t at = svg.find(std::string("<g class=\"panel-") + side);
  const size_t end = svg.find("<g class=\"panel-", at + 1);
  return svg.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

TEST(Picture, ColoursEachChangeAndNamesItInTheLegend) {
  // 1 unchanged, 2 removed, 3 changed, 4 moved to handle 9 unchanged, 5 new.
  const DrawingSnapshot before = {{1, Line(0, 0, 1, 0)}, {2, Line(0, 1, 1, 1)}, {3, Line(0, 2, 1, 2)},
                                  {4, Line(0, 3, 1, 3)}};
  const DrawingSnapshot after = {{1, Line(0, 0, 1, 0)}, {3, Line(0, 2, 2, 2)}, {9, Line(0, 3, 1, 3)},
                                 {5, Line(0, 4, 1, 4)}};
  const ChangeCounts c = CountChanges(before, after);
  EXPECT_EQ(c.unchanged, 2u);
  EXPECT_EQ(c.removed, 1u);
  EXPECT_EQ(c.changed, 1u);
  EXPECT_EQ(c.created, 1u);

  const std::string svg = BeforeAfterSvg(before, after, "/some/where/plan.dxf");
  const std::string left = Panel(svg, "before"), right = Panel(svg, "after");
  struct Expect {
    const char* cls;
    const char* colour;
    size_t left, right;
  };
  const Expect expect[] = {{"unchanged", kSvgUnchanged, 2, 2},
                           {"removed", kSvgRemoved, 1, 0},
                           {"changed", kSvgChanged, 1, 1},
                           {"new", kSvgNew, 0, 1}};
  for (const Expect& e : expect) {
    EXPECT_EQ(InGroup(left, e.cls), e.left) << e.cls;
    EXPECT_EQ(InGroup(right, e.cls), e.right) << e.cls;
    if (e.left + e.right > 0) {
      EXPECT_NE(svg.find("class=\"" + std::string(e.cls) + "\" fill=\"none\" stroke=\"" + e.colour),
                std::string::npos)
          << e.cls;
    }
    // The legend has a swatch of each colour.
    EXPECT_TRUE(std::regex_search(svg, std::regex("<rect class=\"" + std::string(e.cls) + "\"[^>]*fill=\"" +
                                                  e.colour + "\"")))
        << e.cls;
  }
  for (const char* label : {"removed (1)", "changed (1)", "new (1)", "unchanged"})
    EXPECT_NE(svg.find(label), std::string::npos) << label;
  EXPECT_NE(svg.find("plan.dxf: before and after cleaning"), std::string::npos);
  EXPECT_EQ(svg.find("/some/where"), std::string::npos);  // the name, not the whole path
}

TEST(Picture, MarksWhatIsDrawnTwiceOverTheAfterPanel) {
  const DrawingSnapshot before = {{1, Line(0, 0, 10, 0)}, {2, Line(0, 0, 10, 0)}, {3, Line(0, 5, 10, 5)}};
  const std::vector<coverage::Stretch> twice = {{1, 0, 0, 4, 0, 4}, {1, 4, 0, 10, 0, 6}};
  struct Row {
    std::vector<coverage::Stretch> marks;
    size_t inAfter;
    bool inLegend;
  };
  const Row rows[] = {{twice, 2, true}, {{}, 0, false}};
  for (const Row& row : rows) {
    const std::string svg = BeforeAfterSvg(before, before, "plan.dxf", {}, row.marks);
    EXPECT_EQ(InGroup(Panel(svg, "after"), "drawn-twice"), row.inAfter);
    EXPECT_EQ(InGroup(Panel(svg, "before"), "drawn-twice"), 0u);
    EXPECT_EQ(std::regex_search(svg, std::regex("<rect class=\"drawn-twice\"[^>]*fill=\"" +
                                                std::string(kSvgDrawnTwice) + "\"")),
              row.inLegend);
    EXPECT_EQ(svg.find("drawn twice (10 long)") != std::string::npos, row.inLegend);
  }
  // In the panel's own frame, drawn in drawing units like the objects.
  const std::string after = Panel(BeforeAfterSvg(before, before, "plan.dxf", {}, twice), "after");
  EXPECT_NE(after.find("<line x1=\"4\" y1=\"0\" x2=\"10\" y2=\"0\"/>"), std::string::npos) << after;
}

double Attribute(const std::string& svg, const std::string& cls, const char* name) {
  std::smatch m;
  if (!std::regex_search(svg, m, std::regex("class=\"" + cls + "\"[^>]* " + name + "=\"([-0-9.e]+)\"")))
    return NAN;
  return std::stod(m[1]);
}

TEST(Picture, TitlesNeverOverlap) {
  // From a single vertical line to a wide strip: the after title always starts
  // past the end of the before title.
  for (double width : {0.0, 1e-6, 1.0, 50.0, 1000.0, 1e6}) {
    const DrawingSnapshot before = {{1, Line(0, 0, width, 1000)}, {2, Line(0, 0, 0, 10)}};
    const DrawingSnapshot after = {{1, Line(0, 0, width, 1000)}};
    const std::string svg = BeforeAfterSvg(before, after, "a-rather-long-drawing-name-for-a-narrow-picture.dxf");
    const double leftX = Attribute(svg, "title-before", "x"), rightX = Attribute(svg, "title-after", "x");
    const double leftY = Attribute(svg, "title-before", "y"), rightY = Attribute(svg, "title-after", "y");
    ASSERT_FALSE(std::isnan(leftX + rightX + leftY + rightY)) << width;
    EXPECT_GE(rightX, leftX + TextWidthPx("before: 1 removed, 0 changed", 13)) << width;
    EXPECT_EQ(leftY, rightY);
    // And the picture is wide enough for its heading.
    std::smatch m;
    ASSERT_TRUE(std::regex_search(svg, m, std::regex("<svg [^>]*width=\"([0-9.]+)\"")));
    EXPECT_GE(std::stod(m[1]), TextWidthPx("a-rather-long-drawing-name-for-a-narrow-picture.dxf: before and "
                                           "after cleaning", 15))
        << width;
  }
}

TEST(Picture, DrawsTextsHatchesAndDimensionsOfTheDrawing) {
  const std::string dimBlock = "0\nBLOCK\n8\n0\n2\n*D1\n70\n1\n10\n0\n20\n0\n"
                               "0\nLINE\n8\n0\n10\n0\n20\n-5\n11\n40\n21\n-5\n"
                               "0\nSOLID\n8\n0\n10\n0\n20\n-5\n11\n1\n21\n-4.8\n12\n1\n22\n-5.2\n13\n1\n23\n-5.2\n"
                               "0\nMTEXT\n8\n0\n10\n20\n20\n-4\n40\n1.5\n71\n8\n1\n40.00\n0\nENDBLK\n8\n0\n";
  const std::string dim = "0\nDIMENSION\n8\n0\n2\n*D1\n10\n0\n20\n-5\n11\n20\n21\n-4\n70\n32\n13\n0\n23\n0\n"
                          "14\n40\n24\n0\n";
  hostapp::Host host;
  DxfDrawing d;
  std::string error;
  ASSERT_TRUE(LoadDxf(Dxf(std::string(kText) + kHatch + dim + kLine, dimBlock), host, d, &error)) << error;
  const Backdrop b = BackdropOf(d);
  ASSERT_EQ(b.texts.size(), 2u);  // the text and the dimension's measurement
  EXPECT_EQ(b.texts[0].lines, std::vector<std::string>{"KITCHEN \u230020"});
  EXPECT_EQ(b.texts[0].x, 5.0);
  EXPECT_EQ(b.texts[0].height, 2.5);
  EXPECT_EQ(b.texts[1].lines, std::vector<std::string>{"40.00"});
  EXPECT_EQ(b.texts[1].row, 2);     // attachment 8: bottom centre
  EXPECT_EQ(b.texts[1].column, 1);

  const std::string svg = BeforeAfterSvg({}, {}, "plan.dxf", b);
  // Texts at their place, upright, their size from the cap height.
  EXPECT_TRUE(std::regex_search(svg, std::regex("<text transform=\"translate\\(5,7\\) rotate\\(0\\) scale\\(1,-1\\)\" "
                                                "font-size=\"3\\.47[0-9]*\"[^>]*><tspan[^>]*>KITCHEN ")))
      << svg;
  EXPECT_NE(svg.find(">40.00</tspan>"), std::string::npos);
  // The hatch: its boundary, filled light; not its seed point.
  EXPECT_NE(svg.find("<path d=\"M0,0 L4,0 L4,3 Z \" class=\"fill\"/>"), std::string::npos) << svg;
  EXPECT_EQ(svg.find("99"), std::string::npos);
  // The dimension's block: its line and its arrowhead (filled).
  EXPECT_NE(svg.find("<path d=\"M0,-5 L40,-5\"/>"), std::string::npos);
  EXPECT_NE(svg.find("<path d=\"M0,-5 L1,-4.8 L1,-5.2 L1,-5.2 Z \" class=\"fill\"/>"), std::string::npos);
  // All of it grey, and in both panels.
  EXPECT_NE(svg.find("<g class=\"passed-through\" fill=\"none\" stroke=\"" + std::string(kSvgUnchanged)),
            std::string::npos);
  EXPECT_NE(Panel(svg, "before").find("KITCHEN"), std::string::npos);
  EXPECT_NE(Panel(svg, "after").find("KITCHEN"), std::string::npos);
}

// Arcs of a dimension's block and arc edges of a hatch are drawn over the
// span a reader takes from their angles: a turn whose end was rounded is a
// whole ring, and a clockwise edge runs the other way.
TEST(Picture, ArcsOfBlocksAndHatchesCoverTheirSpan) {
  struct Case {
    const char* where;  // "block", "ccw" or "cw" (hatch edges)
    std::string start, end;
    double extentDeg;
  };
  const Case cases[] = {
      {"block", "0", "360.0000000001", 360}, {"block", "90", "89.9999999999", 360}, {"block", "350", "10", 20},
      {"ccw", "30", "30.0000000001", 360},   {"cw", "0", "360.0000000001", 360},     {"cw", "90", "0", 270},
      {"ccw", "0", "400", 40},
  };
  for (const Case& c : cases) {
    const std::string arc = "10\n0\n20\n0\n40\n5\n50\n" + c.start + "\n51\n" + c.end + "\n";
    std::string entities, blocks;
    if (std::string(c.where) == "block") {
      blocks = "0\nBLOCK\n8\n0\n2\n*D1\n70\n1\n10\n0\n20\n0\n0\nARC\n8\n0\n" + arc + "0\nENDBLK\n8\n0\n";
      entities = "0\nDIMENSION\n8\n0\n2\n*D1\n10\n0\n20\n0\n11\n0\n21\n0\n70\n32\n";
    } else {
      entities = "0\nHATCH\n8\n0\n10\n0\n20\n0\n2\nSOLID\n70\n1\n71\n0\n91\n1\n92\n1\n93\n1\n72\n2\n" + arc +
                 "73\n" + (std::string(c.where) == "cw" ? "0" : "1") + "\n97\n0\n75\n0\n76\n1\n98\n0\n";
    }
    hostapp::Host host;
    DxfDrawing d;
    ASSERT_TRUE(LoadDxf(Dxf(entities, blocks), host, d, nullptr));
    const Backdrop b = BackdropOf(d);
    ASSERT_EQ(b.shapes.size(), 1u) << c.where << c.start;
    const Ring& ring = b.shapes[0].rings.at(0);
    double extent = 0;  // the angle the ring turns through about the centre
    for (size_t i = 0; i + 1 < ring.size(); ++i) {
      const auto [ax, ay] = ring[i];
      const auto [bx, by] = ring[i + 1];
      extent += std::fabs(std::atan2(ax * by - ay * bx, ax * bx + ay * by)) * 180 / M_PI;
    }
    EXPECT_NEAR(extent, c.extentDeg, 1e-6) << c.where << " " << c.start << " " << c.end;
  }
}

}  // namespace
}  // namespace drawclean
