// End-to-end runs over blocks and splines: user blocks cleaned once however
// often they are placed, nested ones each on their own, every other block
// byte for byte; --splines closing outlines within the tolerance, and
// splines that cannot be drawn left as they are with their reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "block_runs.h"
#include "dxf/blocks.h"
#include "dxf/splice.h"
#include "dxf/structure.h"
#include "dxf/tags.h"
#include "test_files.h"

#include <random>

namespace {

std::string FormatKnot(double k) { return drawclean::FormatDouble(k); }

// Every sample read with its blocks and splines and written back with no
// pass run: byte for byte, each spline read again the same way.
TEST(BlocksAndSplinesMap, SamplesReadWithBlocksAndSplinesSaveUnchanged) {
  if (!std::filesystem::is_directory(DXF_SAMPLES_DIR)) GTEST_SKIP();
  for (auto& e : std::filesystem::directory_iterator(DXF_SAMPLES_DIR)) {
    if (e.path().extension() != ".dxf") continue;
    const std::string text = ReadAll(e.path());
    hostapp::Host host;
    drawclean::DxfDrawing d;
    std::string error;
    ASSERT_TRUE(drawclean::LoadDxf(text, host, d, &error, {0.005})) << e.path() << ": " << error;
    std::vector<drawclean::BlockRun> blocks;
    std::vector<std::string> skipped;
    drawclean::LoadBlocks(d, false, blocks, &skipped);
    EXPECT_TRUE(skipped.empty()) << e.path() << ": " << skipped.front();
    auto writes = drawclean::BlockWrites(blocks);
    drawclean::DxfWriteStats stats;
    EXPECT_EQ(drawclean::SaveDxf(d, host, "marker", &stats, &writes), text) << e.path();
    for (const auto& w : writes) EXPECT_EQ(w.stats.changed + w.stats.created + w.stats.removed, 0u) << e.path();
  }
}

// Seeded random SPLINE entities, sound and broken: each is read as a
// polyline of finite vertices or left with a reason, never a failure.
TEST(BlocksAndSplinesMap, RandomSplinesReadOrAreLeftWithAReason) {
  std::mt19937 rng(42);
  auto pick = [&](int n) { return int(rng() % unsigned(n)); };
  const char* const oddValues[] = {"nan", "inf", "-1e400", "abc", "", "1e308", "-0"};
  size_t read = 0, left = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const int degree = pick(8) - 1, control = pick(9), fit = pick(4) ? 0 : pick(6);
    const int knots = std::max(0, control + degree + 1 + (pick(5) ? 0 : pick(5) - 2));
    std::string e = "0\nSPLINE\n8\n0\n70\n" + std::to_string(pick(16)) + "\n71\n" + std::to_string(degree) + "\n";
    double k = 0;
    for (int i = 0; i < knots; ++i) e += "40\n" + FormatKnot(k += pick(3) * 0.5) + "\n";
    if (pick(3) == 0)
      for (int i = 0; i < control + pick(2); ++i) e += "41\n" + std::to_string(pick(4) - 1) + "\n";
    for (int i = 0; i < control; ++i) e += "10\n" + std::to_string(pick(100)) + "\n20\n" + std::to_string(pick(100)) + "\n30\n0\n";
    for (int i = 0; i < fit; ++i) e += "11\n" + std::to_string(pick(100)) + "\n21\n" + std::to_string(pick(100)) + "\n";
    if (pick(6) == 0) {  // one value after the layer spoiled
      std::vector<std::string> lines;
      for (size_t at = 0, next; (next = e.find('\n', at)) != std::string::npos; at = next + 1)
        lines.push_back(e.substr(at, next - at));
      lines[5 + 2 * size_t(pick(int(lines.size() - 4) / 2))] = oddValues[pick(7)];
      e.clear();
      for (const std::string& l : lines) e += l + "\n";
    }
    const std::string text = "0\nSECTION\n2\nENTITIES\n" + e + "0\nENDSEC\n0\nEOF\n";
    hostapp::Host host;
    drawclean::DxfDrawing d;
    std::string error;
    if (!drawclean::LoadDxf(text, host, d, &error, {0.01})) {
      ADD_FAILURE() << "trial " << trial << ": " << error << "\n" << text;
      continue;
    }
    ASSERT_EQ(d.records.size(), 1u) << text;
    if (d.records[0].handle == 0) {
      EXPECT_NE(d.records[0].passReason, drawclean::PassReason::kNone) << text;
      ++left;
      continue;
    }
    ++read;
    const hostapp::Object& o = host.Get(d.records[0].handle);
    EXPECT_LE(o.vertices.size(), 32767u);
    for (const auto& v : o.vertices) EXPECT_TRUE(std::isfinite(v.p.x) && std::isfinite(v.p.y) && std::isfinite(v.radius)) << text;
  }
  EXPECT_GT(read, 30u);
  EXPECT_GT(left, 30u);
}

}  // namespace

#ifdef DRAWCLEAN_EXE
namespace {

using drawclean::FormatDouble;

std::string N(double v) { return FormatDouble(v); }

// A LINE with a handle, owned by `owner`.
std::string Line(int handle, const std::string& owner, double x1, double y1, double x2, double y2) {
  char h[16];
  std::snprintf(h, sizeof h, "%X", handle);
  return "0\nLINE\n5\n" + std::string(h) + "\n330\n" + owner + "\n100\nAcDbEntity\n8\n0\n100\nAcDbLine\n10\n" + N(x1) +
         "\n20\n" + N(y1) + "\n30\n0.0\n11\n" + N(x2) + "\n21\n" + N(y2) + "\n31\n0.0\n";
}

std::string Insert(int handle, const std::string& block, double x, double y) {
  char h[16];
  std::snprintf(h, sizeof h, "%X", handle);
  return "0\nINSERT\n5\n" + std::string(h) + "\n100\nAcDbEntity\n8\n0\n100\nAcDbBlockReference\n2\n" + block +
         "\n10\n" + N(x) + "\n20\n" + N(y) + "\n30\n0.0\n";
}

std::string Block(const std::string& name, int flags, const std::string& entities, const std::string& xref = "") {
  return "0\nBLOCK\n8\n0\n2\n" + name + "\n70\n" + std::to_string(flags) + "\n10\n0.0\n20\n0.0\n30\n0.0\n3\n" + name +
         "\n1\n" + xref + "\n" + entities + "0\nENDBLK\n8\n0\n";
}

std::string Dxf(const std::string& blocks, const std::string& entities) {
  return "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1015\n9\n$HANDSEED\n5\n20\n0\nENDSEC\n"
         "0\nSECTION\n2\nBLOCKS\n" + blocks + "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n" + entities +
         "0\nENDSEC\n0\nEOF\n";
}

// The raw text of each block of a file, by name.
std::map<std::string, std::string> Blocks(const std::string& text) {
  std::map<std::string, std::string> out;
  const auto f = drawclean::ParseDxf(text, nullptr);
  if (!f) return out;
  for (const auto& b : drawclean::FindBlocks(*f)) out[b.name] = std::string(drawclean::RawTags(*f, b.body, b.end));
  return out;
}

// Entity kinds in a stretch of DXF text, in order.
std::vector<std::string> Kinds(const std::string& text) {
  std::vector<std::string> kinds;
  const auto f = drawclean::ParseDxf(text + "0\nEOF\n", nullptr);
  if (!f) return kinds;
  for (const auto& t : f->tags)
    if (t.code == 0 && t.value != "EOF") kinds.emplace_back(drawclean::Trimmed(t.value));
  return kinds;
}

// Every handle (group 5) of a file, and whether one repeats.
bool HandlesUnique(const std::string& text) {
  const auto f = drawclean::ParseDxf(text, nullptr);
  std::set<std::string> seen;
  for (size_t i = 0; f && i < f->tags.size(); ++i)
    if (f->tags[i].code == 5 && !seen.insert(std::string(drawclean::Trimmed(f->tags[i].value))).second) return false;
  return f.has_value();
}

// Vertices (x, y, bulge) of the first LWPOLYLINE in the text, and whether
// it is closed.
std::vector<std::array<double, 3>> FirstPolyline(const std::string& text, bool* closed) {
  std::vector<std::array<double, 3>> vs;
  const auto f = drawclean::ParseDxf(text, nullptr);
  bool in = false, done = false;
  for (size_t i = 0; f && i < f->tags.size() && !done; ++i) {
    const auto& t = f->tags[i];
    if (t.code == 0) {
      done = in;
      in = t.value == "LWPOLYLINE";
    } else if (in && t.code == 70) {
      *closed = (drawclean::TagInt(t).value_or(0) & 1) != 0;
    } else if (in && t.code == 10) {
      vs.push_back({drawclean::TagDouble(t).value_or(NAN), 0, 0});
    } else if (in && t.code == 20 && !vs.empty()) {
      vs.back()[1] = drawclean::TagDouble(t).value_or(NAN);
    } else if (in && t.code == 42 && !vs.empty()) {
      vs.back()[2] = drawclean::TagDouble(t).value_or(NAN);
    }
  }
  return vs;
}

class BlocksAndSplines : public DrawcleanRun {};

// A door placed four times, each of its duplicates once; a frame nesting the
// door; every kind of block that is not the user's, holding duplicates too.
std::string PlacedBlocks() {
  std::string door = Line(0x101, "1F", 0, 0, 1, 0) + Line(0x102, "1F", 0, 0, 1, 0) + Line(0x103, "1F", 1, 0, 1, 2) +
                     Line(0x104, "1F", 1, 0, 1, 2) + Line(0x105, "1F", 1, 2, 0, 2);
  std::string frame = Insert(0x201, "DOOR", 0, 0) + Line(0x202, "2F", -1, -1, 3, -1) +
                      Line(0x203, "2F", -1, -1, 3, -1) + Line(0x204, "2F", 3, -1, 3, 3);
  auto twins = [](int h) { return Line(h, "3F", 0, 0, 5, 0) + Line(h + 1, "3F", 0, 0, 5, 0); };
  std::string blocks = Block("DOOR", 0, door) + Block("FRAME", 0, frame) + Block("*D1", 1, twins(0x301)) +
                       Block("*U7", 1, twins(0x303)) + Block("*Model_Space", 0, "") +
                       Block("*Paper_Space0", 0, twins(0x305)) + Block("XREF", 4, twins(0x307), "other.dxf") +
                       Block("XREF|WALL", 16, twins(0x309));
  std::string entities;
  for (int k = 0; k < 4; ++k) entities += Insert(0x400 + k, "DOOR", 10.0 * k, 0);
  entities += Insert(0x410, "FRAME", 0, 20);
  return Dxf(blocks, entities);
}

TEST_F(BlocksAndSplines, UserBlocksAreCleanedOnceAndTheRestStaysByteForByte) {
  const std::string in = PlacedBlocks();
  WriteAll(path("in.dxf"), in);
  Outcome r = run("--duplicates --join --verify " + path("in.dxf") + " -o " + path("out.dxf") + " --report " +
                  path("r.json"));
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string out = ReadAll(path("out.dxf"));
  auto was = Blocks(in), now = Blocks(out);
  ASSERT_EQ(now.size(), was.size());
  // The door: duplicates gone, its three sides one polyline; the frame keeps
  // its INSERT of the door, its doubled line gone and the rest joined.
  EXPECT_EQ(Kinds(now["DOOR"]), std::vector<std::string>{"LWPOLYLINE"}) << now["DOOR"];
  auto frame = Kinds(now["FRAME"]);
  std::sort(frame.begin(), frame.end());
  EXPECT_EQ(frame, (std::vector<std::string>{"INSERT", "LWPOLYLINE"})) << now["FRAME"];
  EXPECT_NE(now["DOOR"].find("330\n1F\n"), std::string::npos) << "a new entity keeps the block's owner";
  for (const char* kept : {"*D1", "*U7", "*Model_Space", "*Paper_Space0", "XREF", "XREF|WALL"})
    EXPECT_EQ(now[kept], was[kept]) << kept;
  // Model space: the five INSERTs as they were.
  const auto ms = [](const std::string& t) { return t.substr(t.find("ENTITIES")); };
  EXPECT_EQ(ms(out), ms(in));
  EXPECT_TRUE(HandlesUnique(out)) << "new entities of both blocks take handles of their own";

  const auto report = nlohmann::json::parse(ReadAll(path("r.json")));
  const auto& blocks = report["blocks"];
  EXPECT_TRUE(blocks["cleaned"]);
  ASSERT_EQ(blocks["count"], 2);  // each definition once, not once per INSERT
  EXPECT_EQ(blocks["byBlock"][0]["name"], "DOOR");
  EXPECT_EQ(blocks["byBlock"][0]["objectsBefore"], 5);
  EXPECT_EQ(blocks["byBlock"][0]["objectsAfter"], 1);
  EXPECT_EQ(blocks["byBlock"][1]["objectsAfter"], 1);
  EXPECT_EQ(blocks["byBlock"][1]["coveragePassed"], true);
  EXPECT_EQ(blocks["total"]["objectsBefore"], 8);
  EXPECT_EQ(blocks["total"]["objectsAfter"], 2);
  EXPECT_NE(r.out.find("user blocks, each cleaned as a drawing of its own: 2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("coverage check: passed"), std::string::npos) << r.out;

  bool closed = false;
  const auto door = FirstPolyline(now["DOOR"] + "0\nEOF\n", &closed);
  EXPECT_EQ(door, (std::vector<std::array<double, 3>>{{0, 0, 0}, {1, 0, 0}, {1, 2, 0}, {0, 2, 0}}));
  EXPECT_FALSE(closed) << "three sides of a door";
}

// What leaves blocks alone, and what refuses them.
TEST_F(BlocksAndSplines, NoBlocksAndJsonOutput) {
  const std::string in = PlacedBlocks();
  WriteAll(path("in.dxf"), in);
  struct Case {
    const char* name;
    std::string args;
    int status;
    const char* says;  // on standard error
  };
  const Case cases[] = {
      {"--no-blocks", "--all --no-blocks -o " + path("out.dxf"), 0, ""},
      {"JSON with blocks", "--all -o " + path("out.json"), 2, "JSON form cannot carry"},
      {"JSON without blocks", "--all --no-blocks -o " + path("out.json"), 0, "left out"},
  };
  for (const Case& c : cases) {
    Outcome r = run(c.args + " " + path("in.dxf") + " --report " + path("r.json"));
    EXPECT_EQ(r.status, c.status) << c.name << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.name << r.err;
    if (c.status == 2) {
      EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << c.name << ": one line";
      EXPECT_FALSE(std::filesystem::exists(path("out.json"))) << c.name;
      continue;
    }
    const auto report = nlohmann::json::parse(ReadAll(path("r.json")));
    if (report["format"] == "dxf") {
      EXPECT_EQ(report["blocks"]["cleaned"], false) << c.name;
    }
  }
  EXPECT_EQ(ReadAll(path("out.dxf")), in) << "nothing in model space to clean, blocks left alone";
}

// A block with a value that is no number stays as it is, with a warning
// naming it and the line; the other block and model space are cleaned.
TEST_F(BlocksAndSplines, MalformedBlockIsLeftWithAWarning) {
  const std::string bad = Line(0x501, "5F", 0, 0, 1, 0) + "0\nLINE\n8\n0\n10\nabc\n20\n0\n11\n1\n21\n1\n" +
                          Line(0x502, "5F", 0, 0, 1, 0);
  const std::string good = Line(0x601, "6F", 0, 0, 1, 0) + Line(0x602, "6F", 0, 0, 1, 0);
  // A name that is not UTF-8 (an old code page) still gets its report.
  const std::string in = Dxf(Block("BAD", 0, bad) + Block("GO\xD6" "D", 0, good),
                             Line(0x701, "1F", 0, 0, 2, 0) + Line(0x702, "1F", 0, 0, 2, 0));
  WriteAll(path("in.dxf"), in);
  Outcome r = run("--duplicates -q " + path("in.dxf") + " -o " + path("out.dxf") + " --report " + path("r.json"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("warning: " + path("in.dxf") + ": block BAD left as it is: line "), std::string::npos) << r.err;
  const std::string out = ReadAll(path("out.dxf"));
  EXPECT_EQ(Blocks(out)["BAD"], Blocks(in)["BAD"]);
  EXPECT_EQ(Kinds(Blocks(out)["GO\xD6" "D"]).size(), 1u);
  const auto report = nlohmann::json::parse(ReadAll(path("r.json")));
  EXPECT_EQ(report["blocks"]["byBlock"][0]["name"], std::string("GO\uFFFD" "D"));
  EXPECT_EQ(out.find("\n701\n"), std::string::npos) << "model space cleaned, the later copy kept";
}

// A SPLINE entity: degree, knots, control points (x, y), weights; or fit
// points alone.
std::string SplineEntity(int degree, const std::vector<double>& knots, const std::vector<std::array<double, 2>>& ctrl,
                         const std::vector<double>& weights = {}, int flags = 8,
                         const std::vector<std::array<double, 2>>& fit = {}) {
  std::string s = "0\nSPLINE\n5\n90\n100\nAcDbEntity\n8\n0\n100\nAcDbSpline\n210\n0.0\n220\n0.0\n230\n1.0\n70\n" +
                  std::to_string(flags | (weights.empty() ? 0 : 4)) + "\n71\n" + std::to_string(degree) + "\n72\n" +
                  std::to_string(knots.size()) + "\n73\n" + std::to_string(ctrl.size()) + "\n74\n" +
                  std::to_string(fit.size()) + "\n";
  for (double k : knots) s += "40\n" + N(k) + "\n";
  for (double w : weights) s += "41\n" + N(w) + "\n";
  for (const auto& c : ctrl) s += "10\n" + N(c[0]) + "\n20\n" + N(c[1]) + "\n30\n0.0\n";
  for (const auto& c : fit) s += "11\n" + N(c[0]) + "\n21\n" + N(c[1]) + "\n31\n0.0\n";
  return s;
}

std::string Replaced(std::string s, const std::string& what, const std::string& with) {
  return s.replace(s.find(what), what.size(), with);
}

// A half-disc outline: the diameter as two lines, the arc a rational
// quadratic spline that is exactly a half circle of radius 5.
TEST_F(BlocksAndSplines, SplineJoinsLinesIntoOneClosedOutline) {
  const double w = std::sqrt(0.5);
  const std::string arc = SplineEntity(2, {0, 0, 0, 0.5, 0.5, 1, 1, 1}, {{5, 0}, {5, 5}, {0, 5}, {-5, 5}, {-5, 0}},
                                       {1, w, 1, w, 1});
  const std::string lines = Line(0x80, "1F", -5, 0, 0, 0) + Line(0x81, "1F", 0, 0, 5, 0);
  WriteAll(path("in.dxf"), Dxf("", lines + arc));
  // Without --splines the SPLINE stays exactly as it was.
  Outcome plain = run("--all -t 0.01 " + path("in.dxf") + " -o " + path("plain.dxf"));
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_NE(ReadAll(path("plain.dxf")).find(arc), std::string::npos);

  for (double tol : {0.1, 0.01, 0.0005}) {
    Outcome r = run("--all --splines --verify -t " + N(tol) + " " + path("in.dxf") + " -o " + path("out.dxf"));
    ASSERT_EQ(r.status, 0) << tol << r.err;
    const std::string out = ReadAll(path("out.dxf"));
    EXPECT_EQ(out.find("SPLINE"), std::string::npos) << tol;
    bool closed = false;
    const auto vs = FirstPolyline(out, &closed);
    EXPECT_TRUE(closed) << tol;
    ASSERT_GE(vs.size(), 3u) << tol;
    // Every edge on the outline within the tolerance: on the diameter, or
    // ends and middle (of the chord, or of the arc a bulge makes) on the circle.
    for (size_t i = 0; i < vs.size(); ++i) {
      const auto& a = vs[i];
      const auto& b = vs[(i + 1) % vs.size()];
      if (std::abs(a[1]) <= tol && std::abs(b[1]) <= tol && a[2] == 0) continue;
      const double dx = b[0] - a[0], dy = b[1] - a[1], sag = a[2] / 2;  // bulge times half the chord
      const double mx = (a[0] + b[0]) / 2 + sag * dy, my = (a[1] + b[1]) / 2 - sag * dx;
      EXPECT_NEAR(std::hypot(a[0], a[1]), 5, tol) << tol << " vertex " << i;
      EXPECT_NEAR(std::hypot(mx, my), 5, tol) << tol << " edge " << i;
      EXPECT_GE(my, -tol) << tol << " edge " << i;
    }
  }
}

// Splines that cannot be drawn stay as they were and the report names why;
// a drawable one beside them is taken.
TEST_F(BlocksAndSplines, UndrawableSplinesAreLeftWithTheirReason) {
  struct Case {
    const char* name;
    std::string spline;
    const char* reason;
  };
  const std::vector<std::array<double, 2>> four = {{0, 0}, {1, 1}, {2, 0}, {3, 1}};
  const std::vector<double> clamped = {0, 0, 0, 0, 1, 1, 1, 1};
  const Case cases[] = {
      {"few points", SplineEntity(3, {0, 0, 0, 1, 1, 1}, {{0, 0}, {1, 1}, {2, 0}}),
       "spline with fewer control points than its degree + 1"},
      {"no knot span", SplineEntity(3, {1, 1, 1, 1, 1, 1, 1, 1}, four), "spline with unusable knots or degree"},
      {"knots short", SplineEntity(3, {0, 0, 0, 1, 1, 1}, four), "spline with unusable knots or degree"},
      {"zero weight", SplineEntity(3, clamped, four, {1, 0, 1, 1}), "spline with a weight not above 0 or missing"},
      {"NaN", SplineEntity(3, clamped, {{0, 0}, {NAN, 1}, {2, 0}, {3, 1}}),
       "spline with a value that is no finite number"},
      {"text for a knot", Replaced(SplineEntity(3, clamped, four), "40\n1.0", "40\nabc"),
       "spline with a value that is no finite number"},
      {"one fit point", SplineEntity(3, {}, {}, {}, 8, {{1, 1}}),
       "spline with fewer control points than its degree + 1"},
      {"text for the degree", Replaced(SplineEntity(3, clamped, four), "71\n3\n", "71\nthree\n"),
       "spline with a value that is no finite number"},
      {"degree beyond any", Replaced(SplineEntity(3, clamped, four), "71\n3\n", "71\n99999999999\n"),
       "spline with unusable knots or degree"},
      {"lifted off the plane", Replaced(SplineEntity(3, clamped, four), "30\n0.0", "30\n2.5"),
       "spline off the XY plane"},
      {"upside-down normal", Replaced(SplineEntity(3, clamped, four), "230\n1.0", "230\n-1.0"),
       "spline off the XY plane"},
  };
  const std::string good = SplineEntity(3, clamped, four);
  for (const Case& c : cases) {
    const std::string in = Dxf("", c.spline + good + Line(0x70, "1F", 0, 0, 3, 1));
    WriteAll(path("in.dxf"), in);
    Outcome r = run("--all --splines --verify " + path("in.dxf") + " -o " + path("out.dxf"));
    ASSERT_EQ(r.status, 0) << c.name << r.err;
    EXPECT_NE(r.out.find(std::string("1 ") + c.reason), std::string::npos) << c.name << r.out;
    const std::string out = ReadAll(path("out.dxf"));
    EXPECT_NE(out.find(c.spline), std::string::npos) << c.name << ": kept byte for byte";
    EXPECT_EQ(out.find(good), std::string::npos) << c.name << ": the drawable one was taken and joined";
  }
}

// Real drawings with blocks and splines: cleaned with both, checked, and
// read back by an independent reader with no new audit error.
TEST_F(BlocksAndSplines, SampleDrawingsPassTheCheck) {
  const std::string dir = DXF_SAMPLES_DIR;
  std::string pairs;
  for (const char* name : {"entities.dxf", "ezdxf-Spline_R2000.dxf", "ezdxf-CustomBlocks.dxf", "blocks1.dxf",
                           "ezdxf-AC1027_mesh.dxf", "2Dcircles.dxf"}) {
    const std::string in = dir + "/" + name;
    if (!std::filesystem::exists(in)) continue;
    const std::string out = path(std::string("out-") + name);
    Outcome r = run("--all --splines --verify -q " + in + " -o " + out);
    EXPECT_EQ(r.status, 0) << name << r.err;
    pairs += " " + in + " " + out;
  }
  if (pairs.empty()) GTEST_SKIP() << "no sample drawings";
  if (std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ezdxf";
  const std::string cmd = "/usr/bin/python3 " + std::string(RUNNER_SOURCE_DIR) + "/tests/readback_audit.py" + pairs +
                          " > " + path("py.out") + " 2>&1";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << ReadAll(path("py.out"));
}

}  // namespace
#endif
