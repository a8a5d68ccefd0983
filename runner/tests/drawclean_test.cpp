// End-to-end runs of the drawclean program: exit codes, written files read
// back, pass-through of what no pass cleaned, and every kind of bad input.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "dxf/splice.h"
#include "dxf/structure.h"
#include "dxf/tags.h"
#include "test_files.h"

#ifdef DRAWCLEAN_EXE
namespace fs = std::filesystem;

namespace {

const char* const kNoPasses = "--no-degenerate --no-vertex-cleanup";
const char* const kEveryPass = "--all -t 0.05";

class Drawclean : public DrawcleanRun {
 protected:
  size_t fileCount() const {
    return size_t(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
  }
  // Everything outside the ENTITIES section and the handle seed, as raw text.
  static std::string OutsideEntities(const std::string& text) {
    auto f = drawclean::ParseDxf(text, nullptr);
    if (!f) return "(unreadable)";
    std::string out;
    size_t from = 0;
    for (const auto& s : drawclean::FindSections(*f))
      if (s.name == "ENTITIES") {
        out += drawclean::RawTags(*f, from, s.body);
        from = s.end;
      }
    out += drawclean::RawTags(*f, from, f->tags.size());
    const size_t seed = out.find("$HANDSEED");
    if (seed != std::string::npos) out.erase(seed, out.find("  9", seed + 1) - seed);
    return out;
  }
};

bool HaveEzdxf() { return std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") == 0; }

// A DXF of the given version ("" = no header at all) holding `entities`.
std::string Dxf(const std::string& version, const std::string& entities, const std::string& seed = "") {
  std::string header;
  if (!version.empty() || !seed.empty()) {
    header = "0\nSECTION\n2\nHEADER\n";
    if (!version.empty()) header += "9\n$ACADVER\n1\n" + version + "\n";
    if (!seed.empty()) header += "9\n$HANDSEED\n5\n" + seed + "\n";
    header += "0\nENDSEC\n";
  }
  return header + "0\nSECTION\n2\nENTITIES\n" + entities + "0\nENDSEC\n0\nEOF\n";
}

std::string DxfLine(double x1, double y1, double x2, double y2, const std::string& extra = "",
                    const std::string& layer = "0") {
  auto n = [](double v) { return drawclean::FormatDouble(v); };
  return "0\nLINE\n" + extra + "8\n" + layer + "\n10\n" + n(x1) + "\n20\n" + n(y1) + "\n11\n" + n(x2) + "\n21\n" +
         n(y2) + "\n";
}

// Vertices (x, y, bulge) of every LWPOLYLINE, and whether it is closed.
struct LwPolyline {
  std::vector<std::array<double, 3>> vertices;
  bool closed = false;
};
std::vector<LwPolyline> LwPolylines(const std::string& text) {
  std::vector<LwPolyline> out;
  auto f = drawclean::ParseDxf(text, nullptr);
  if (!f) return out;
  bool in = false;
  for (const auto& t : f->tags) {
    if (t.code == 0) {
      in = t.value == "LWPOLYLINE";
      if (in) out.emplace_back();
      continue;
    }
    if (!in) continue;
    const double v = drawclean::TagDouble(t).value_or(NAN);
    if (t.code == 10) out.back().vertices.push_back({v, 0, 0});
    else if (t.code == 20 && !out.back().vertices.empty()) out.back().vertices.back()[1] = v;
    else if (t.code == 42 && !out.back().vertices.empty()) out.back().vertices.back()[2] = v;
    else if (t.code == 70) out.back().closed = (long(v) & 1) != 0;
  }
  return out;
}

}  // namespace

TEST_F(Drawclean, NoPassLeavesDxfByteForByte) {
  std::vector<fs::path> inputs = {fs::path(EXAMPLES_DIR) / "walls.dxf"};
  for (const char* s : {"heart.dxf", "ezdxf-Minimal_DXF_AC1009.dxf", "blocks1.dxf", "polylines.dxf"})
    if (fs::exists(fs::path(DXF_SAMPLES_DIR) / s)) inputs.push_back(fs::path(DXF_SAMPLES_DIR) / s);
  for (const fs::path& in : inputs) {
    Outcome r = run(std::string(kNoPasses) + " -q " + in.string() + " -o " + path("out.dxf"));
    ASSERT_EQ(r.status, 0) << in << r.err;
    EXPECT_EQ(ReadAll(path("out.dxf")), ReadAll(in)) << in;
  }
}

// With the check or a picture, whatever the passes, the reports say how much
// is still drawn twice, and the picture marks it in a colour of its own.
TEST_F(Drawclean, ReportsAndMarksWhatIsDrawnTwice) {
  // A line drawn three times (once reversed, once 0.01 off) and a square of
  // four lines, whose corners are not drawn twice.
  const std::string copies = DxfLine(0, 0, 10, 0) + DxfLine(10, 0, 0, 0) + DxfLine(0, 0.01, 10, 0.01);
  const std::string square = DxfLine(20, 0, 30, 0) + DxfLine(30, 10, 30, 0) + DxfLine(30, 10, 20, 10) +
                             DxfLine(20, 0, 20, 10);
  WriteAll(path("in.dxf"), Dxf("AC1015", copies + square));
  struct Row {
    const char* options;
    double doubled;
    size_t stretches;
  };
  const Row rows[] = {
      {"--no-degenerate --no-vertex-cleanup -t 0.05", 20, 2},  // nothing removed: two later copies
      {"--duplicates --no-degenerate --no-vertex-cleanup -t 0.05", 10, 1},  // the exact copy removed
  };
  for (const Row& row : rows) {
    Outcome r = run(std::string(row.options) + " " + path("in.dxf") + " -o " + path("out.dxf") + " --report " +
                    path("report.json") + " --svg " + path("out.svg"));
    ASSERT_EQ(r.status, 0) << row.options << r.err;
    const auto report = nlohmann::json::parse(ReadAll(path("report.json")));
    ASSERT_TRUE(report.contains("drawnTwice")) << row.options;
    EXPECT_NEAR(report["drawnTwice"]["length"].get<double>(), row.doubled, 1e-6) << row.options;
    EXPECT_EQ(report["drawnTwice"]["stretches"], row.stretches) << row.options;
    EXPECT_EQ(report["drawnTwice"]["complete"], true);
    char line[96];
    std::snprintf(line, sizeof line, "drawn twice within the point tolerance: %g in %zu stretch", row.doubled,
                  row.stretches);
    EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
    const std::string svg = ReadAll(path("out.svg"));
    EXPECT_NE(svg.find("<g class=\"drawn-twice\""), std::string::npos) << row.options;
    EXPECT_NE(svg.find("drawn twice ("), std::string::npos) << row.options;  // in the legend
  }
  // Measured with the check too, and not at all without it or a picture.
  for (const char* extra : {"--verify", ""}) {
    Outcome r = run(std::string("-t 0.05 ") + extra + " " + path("in.dxf") + " -n --report " + path("r.json"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(ReadAll(path("r.json"))).contains("drawnTwice"), *extra != 0) << extra;
    EXPECT_EQ(r.out.find("drawn twice within") != std::string::npos, *extra != 0) << extra;
  }
}

TEST_F(Drawclean, EveryPassOnExampleKeepsWhatItDidNotClean) {
  const fs::path in = fs::path(EXAMPLES_DIR) / "walls.dxf";
  Outcome r = run(std::string(kEveryPass) + " " + in.string() + " -o " + path("out.dxf") + " --report " +
              path("report.json") + " --svg " + path("out.svg"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("point markers"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("total"), std::string::npos);

  const auto report = nlohmann::json::parse(ReadAll(path("report.json")));
  EXPECT_EQ(report["result"], 0);
  EXPECT_EQ(report["totalBefore"], 28);
  EXPECT_EQ(report["objectsBefore"]["17"], 5);
  EXPECT_FALSE(report["objectsAfter"].contains("17"));  // every point marker removed
  EXPECT_EQ(report["passes"].size(), 8u);
  EXPECT_EQ(report["passes"][2]["name"], "point markers");
  EXPECT_EQ(report["passes"][2]["deleted"], 5);
  EXPECT_TRUE(report["violations"].empty()) << report["violations"];

  const std::string out = ReadAll(path("out.dxf"));
  const std::string original = ReadAll(in);
  EXPECT_EQ(OutsideEntities(out), OutsideEntities(original));  // tables, blocks, objects untouched
  for (const char* kept : {"KITCHEN", "3DFACE"}) EXPECT_NE(out.find(kept), std::string::npos) << kept;
  EXPECT_EQ(out.find("\nPOINT\n"), std::string::npos);
  EXPECT_NE(ReadAll(path("out.svg")).find("<svg"), std::string::npos);

  if (!HaveEzdxf()) GTEST_SKIP() << "python3-ezdxf missing: independent read skipped";
  // The independent reader sees the same tables and every entity no pass touched.
  const std::string script =
      "import ezdxf,sys\n"
      "a=ezdxf.readfile(sys.argv[1]); b=ezdxf.readfile(sys.argv[2])\n"
      "assert sorted(l.dxf.name for l in a.layers)==sorted(l.dxf.name for l in b.layers)\n"
      "kept={e.dxf.handle for e in b.modelspace()}\n"
      "for e in a.modelspace():\n"
      "  if e.dxftype() in ('TEXT','3DFACE') or (e.dxftype()=='CIRCLE' and e.dxf.radius>0.1):\n"
      "    assert e.dxf.handle in kept, e\n"
      "assert not [e for e in b.modelspace() if e.dxftype()=='POINT']\n"
      "print('ok')\n";
  WriteAll(path("check.py"), script);

  const std::string cmd = "/usr/bin/python3 " + path("check.py") + " " + in.string() + " " + path("out.dxf") +
                          " > " + path("py.out") + " 2>&1";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << ReadAll(path("py.out"));
}

TEST_F(Drawclean, JsonRoundTripAndConversions) {
  const fs::path json = fs::path(EXAMPLES_DIR) / "walls.json";
  Outcome r = run(std::string(kNoPasses) + " -q " + json.string() + " -o " + path("same.json"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(nlohmann::json::parse(ReadAll(path("same.json"))), nlohmann::json::parse(ReadAll(json)));
  // JSON in, DXF out: a plain drawing that the reader takes back.
  r = run(std::string(kEveryPass) + " -q " + json.string() + " -o " + path("out.dxf"));
  ASSERT_EQ(r.status, 0) << r.err;
  std::string error;
  EXPECT_TRUE(drawclean::ParseDxf(ReadAll(path("out.dxf")), &error)) << error;
  r = run(std::string(kNoPasses) + " -q " + path("out.dxf") + " -o " + path("back.json"));
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(Drawclean, DryRunShowDialogAndInPlace) {
  const std::string in = path("plan.dxf");
  fs::copy_file(fs::path(EXAMPLES_DIR) / "walls.dxf", in);
  const std::string original = ReadAll(in);

  Outcome r = run("--dry-run --show-dialog --join " + in);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("(dry run)"), std::string::npos);
  EXPECT_NE(r.out.find("[x]"), std::string::npos) << r.out;  // the dialog as rendered
  EXPECT_EQ(fileCount(), 1u);  // nothing written

  r = run(std::string(kEveryPass) + " -q " + in + " -o " + in);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--in-place"), std::string::npos) << r.err;
  EXPECT_EQ(ReadAll(in), original);

  r = run(std::string(kEveryPass) + " -q --in-place " + in);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(ReadAll(in), original);
  EXPECT_EQ(fileCount(), 1u);  // no temporary file left beside it
}

TEST_F(Drawclean, BadInputIsOneLineExitTwoAndNoOutput) {
  const std::string walls = ReadAll(fs::path(EXAMPLES_DIR) / "walls.dxf");
  WriteAll(path("truncated.dxf"), walls.substr(0, walls.size() / 2));
  WriteAll(path("binary.dxf"), std::string("AutoCAD Binary DXF\r\n\x1a\0\0\0", 25));
  WriteAll(path("garbage.dxf"), "hello\nworld\n");
  std::string malformed = walls;
  malformed.replace(malformed.find("AcDbLine\n 10\n") + 13, 3, "1x2");
  WriteAll(path("malformed.dxf"), malformed);
  WriteAll(path("broken.json"), "{\"format\": \"drawclean-drawing\", ");
  WriteAll(path("wrong.json"),
           "{\"format\":\"drawclean-drawing\",\"version\":1,\"objects\":[{\"type\":2,\"first\":[0]}]}");
  WriteAll(path("good.dxf"), walls);
  fs::create_directory(path("folder.dxf"));
  const size_t before = fileCount();

  struct Case {
    std::string args, mentions;
  };
  const Case cases[] = {
      {path("missing.dxf"), "missing.dxf: No such file"},
      {path("folder.dxf"), "folder.dxf: is a directory"},
      {path("truncated.dxf"), "truncated.dxf: "},
      {path("binary.dxf"), "binary DXF"},
      {path("garbage.dxf"), "garbage.dxf: line 1: group code expected"},
      {path("malformed.dxf"), "is not a finite number"},
      {path("broken.json"), "broken.json: not valid JSON"},
      {path("wrong.json"), "objects[0].first: expected [x, y]"},
      {"--frobnicate " + path("good.dxf"), "frobnicate"},
      {"-t -1 " + path("good.dxf"), "--point-tolerance"},
      {"--size-tolerance nan " + path("good.dxf"), "'nan' is not a finite number"},
      {"-t abc " + path("good.dxf"), "'abc'"},
      {"", "input"},
  };
  for (const Case& c : cases) {
    Outcome r = run(c.args + " -o " + path("out.dxf") + " --svg " + path("out.svg"));
    EXPECT_EQ(r.status, 2) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.mentions), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.args << "\n" << r.err;
    EXPECT_EQ(fileCount(), before) << c.args;  // no output, no temporary file
  }
}

TEST_F(Drawclean, UnwritableOutputLeavesNothing) {
  Outcome r = run(std::string(EXAMPLES_DIR) + "/walls.dxf -q -o " + path("no/such/dir/out.dxf"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("out.dxf: cannot write"), std::string::npos) << r.err;
  EXPECT_EQ(fileCount(), 0u);
}

// Every new or changed entity is written in the form its file's version
// allows, so an independent reader takes every output back.
TEST_F(Drawclean, EveryDrawingReadsBackWithNoNewAuditError) {
  if (!HaveEzdxf()) GTEST_SKIP() << "python3-ezdxf missing";
  // Closed outlines of lines in a file with no header: joined into polylines.
  std::string outline;
  for (int k = 0; k < 4; ++k)
    outline += DxfLine(10 * k, 0, 10 * k + 5, 0) + DxfLine(10 * k + 5, 0, 10 * k + 5, 5) +
               DxfLine(10 * k + 5, 5, 10 * k, 5) + DxfLine(10 * k, 5, 10 * k, 0);
  WriteAll(path("headerless.dxf"), Dxf("", outline));
  WriteAll(path("r12.dxf"), Dxf("AC1009", outline));
  std::vector<fs::path> inputs = {path("headerless.dxf"), path("r12.dxf"),
                                  fs::path(EXAMPLES_DIR) / "walls.dxf"};
  if (fs::exists(DXF_SAMPLES_DIR))
    for (const auto& e : fs::directory_iterator(DXF_SAMPLES_DIR))
      if (e.path().extension() == ".dxf") inputs.push_back(e.path());
  std::string pairs;
  for (size_t i = 0; i < inputs.size(); ++i) {
    const std::string out = path("out" + std::to_string(i) + ".dxf");
    Outcome r = run("--all -q " + inputs[i].string() + " -o " + out);
    ASSERT_EQ(r.status, 0) << inputs[i] << r.err;
    pairs += " " + inputs[i].string() + " " + out;
  }
  const std::string cmd = "/usr/bin/python3 " + std::string(RUNNER_SOURCE_DIR) + "/tests/readback_audit.py" +
                          pairs + " > " + path("py.out") + " 2>&1";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << ReadAll(path("py.out"));
}

// Arcs joined with a line stay true arcs: every vertex and every bulge's arc
// lies on the original circle within 1e-9 of the radius.
TEST_F(Drawclean, JoinedArcsStayOnTheirCircle) {
  const double cx = 3, cy = -2, r = 10, kPi = 3.14159265358979323846;
  for (double sweep : {30.0, 90.0, 91.0, 180.0, 270.0, 360.0}) {
    const double start = 20;
    const double ex = cx + r * std::cos((start + sweep) * kPi / 180), ey = cy + r * std::sin((start + sweep) * kPi / 180);
    const std::string arc = sweep == 360.0
        ? "0\nCIRCLE\n8\n0\n10\n3.0\n20\n-2.0\n40\n10.0\n"
        : "0\nARC\n8\n0\n10\n3.0\n20\n-2.0\n40\n10.0\n50\n20.0\n51\n" + drawclean::FormatDouble(start + sweep) + "\n";
    const double lx = sweep == 360.0 ? cx + r : ex, ly = sweep == 360.0 ? cy : ey;
    WriteAll(path("in.dxf"), Dxf("AC1015", arc + DxfLine(lx, ly, lx + 7, ly - 3)));
    Outcome o = run("--join --join-arcs -q " + path("in.dxf") + " -o " + path("out.dxf"));
    ASSERT_EQ(o.status, 0) << o.err;
    const auto polys = LwPolylines(ReadAll(path("out.dxf")));
    ASSERT_EQ(polys.size(), 1u) << sweep << "\n" << ReadAll(path("out.dxf"));
    const auto& vs = polys[0].vertices;
    double arcs = 0;
    for (size_t i = 0; i < vs.size(); ++i) {
      const auto& a = vs[i];
      const bool onLine = std::fabs((a[0] - lx) * -3 - (a[1] - ly) * 7) < 1e-9 && a[0] >= lx - 1e-9;
      EXPECT_TRUE(onLine || std::fabs(std::hypot(a[0] - cx, a[1] - cy) - r) <= 1e-9 * r)
          << sweep << " vertex " << i;
      if (a[2] == 0 || (i + 1 == vs.size() && !polys[0].closed)) continue;
      const auto& b = vs[(i + 1) % vs.size()];
      // Centre of the bulge arc: on the chord's normal, (chord/2)/tan(sweep/2) from its middle.
      const double chord = std::hypot(b[0] - a[0], b[1] - a[1]), turn = 4 * std::atan(a[2]);
      const double off = chord / 2 / std::tan(turn / 2);
      const double mx = (a[0] + b[0]) / 2 - (b[1] - a[1]) / chord * off;
      const double my = (a[1] + b[1]) / 2 + (b[0] - a[0]) / chord * off;
      EXPECT_NEAR(mx, cx, 1e-9 * r) << sweep << " bulge " << i;
      EXPECT_NEAR(my, cy, 1e-9 * r) << sweep << " bulge " << i;
      arcs += std::fabs(turn) * 180 / kPi;
    }
    EXPECT_NEAR(arcs, sweep, 1e-6) << sweep;  // all of the arc, none as chords
  }
}

// Arcs and ellipses as other programs write them: a full turn whose end was
// rounded is kept through every pass, its bytes untouched; so is a small arc,
// while one below the size tolerance goes.
TEST_F(Drawclean, RoundedFullTurnsSurviveEveryPass) {
  const std::string arc = "0\nARC\n5\n30\n100\nAcDbEntity\n8\n0\n100\nAcDbCircle\n10\n0.0\n20\n0.0\n30\n0.0\n"
                          "40\n5.0\n100\nAcDbArc\n";
  const std::string ellipse = "0\nELLIPSE\n5\n30\n100\nAcDbEntity\n8\n0\n100\nAcDbEllipse\n10\n0.0\n20\n0.0\n"
                              "30\n0.0\n11\n400.0\n21\n0.0\n31\n0.0\n40\n0.75\n";
  const std::pair<std::string, bool> cases[] = {
      {ellipse + "41\n0.0\n42\n6.28318530718\n", true}, {arc + "50\n0.0\n51\n360.0000000001\n", true},
      {arc + "50\n0.0\n51\n359.9999999999\n", true},    {arc + "50\n45.0\n51\n45.0\n", true},
      {arc + "50\n0.0\n51\n0.5\n", true},               {arc + "50\n0.0\n51\n0.0005\n", false},
  };
  for (const auto& [entity, kept] : cases) {
    const std::string in = Dxf("AC1015", entity, "40");
    WriteAll(path("in.dxf"), in);
    Outcome o = run("--all -t 0.01 -q " + path("in.dxf") + " -o " + path("out.dxf"));
    ASSERT_EQ(o.status, 0) << entity << o.err;
    const std::string out = ReadAll(path("out.dxf"));
    if (kept) EXPECT_EQ(out, in) << entity;
    else EXPECT_EQ(out.find("\n5\n30\n"), std::string::npos) << out;
  }
}

// The JSON form holds the sweep itself, never read modulo a turn. Written as
// DXF, each arc reads back as it was, here and in ezdxf: a full turn as a
// circle or a full ellipse, a clockwise sweep turned round, no sweep as the
// point it is (an ARC would read back as a full turn).
TEST_F(Drawclean, JsonArcsKeepTheirSweepThroughDxf) {
  struct Case {
    bool ellipse;
    double startDeg, sweepDeg;
    const char* kind;
    double readSweep;
  };
  const Case cases[] = {
      {false, 0, 6.28318530718 * 180 / M_PI, "CIRCLE", 360}, {false, 10, 359.9999999999, "CIRCLE", 360},
      {false, 0, -90, "ARC", 90},  {true, 0, 400, "ELLIPSE", 360}, {true, 90, -45, "ELLIPSE", 45},
      {false, 30, 0.5, "ARC", 0.5}, {false, 45, 0, "LINE", 0},
  };
  nlohmann::json objects = nlohmann::json::array();
  for (const Case& c : cases)
    objects.push_back({{"type", 6}, {"center", {20.0 * double(objects.size()), 0.0}},
                       {"hRadius", c.ellipse ? 4.0 : 5.0}, {"vRadius", c.ellipse ? 2.0 : 5.0},
                       {"startDeg", c.startDeg}, {"sweepDeg", c.sweepDeg}});
  WriteAll(path("in.json"), nlohmann::json{{"format", "drawclean-drawing"}, {"version", 1}, {"objects", objects}}.dump());
  // Every pass keeps each arc but the one of no sweep.
  Outcome o = run("--all -t 0.01 -q " + path("in.json") + " -o " + path("all.json"));
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(nlohmann::json::parse(ReadAll(path("all.json")))["objects"].size(), std::size(cases) - 1);

  o = run(std::string(kNoPasses) + " -q " + path("in.json") + " -o " + path("out.dxf"));
  ASSERT_EQ(o.status, 0) << o.err;
  o = run(std::string(kNoPasses) + " -q " + path("out.dxf") + " -o " + path("back.json"));
  ASSERT_EQ(o.status, 0) << o.err;
  const auto back = nlohmann::json::parse(ReadAll(path("back.json")))["objects"];
  ASSERT_EQ(back.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    if (std::string(cases[i].kind) == "LINE") {
      ASSERT_EQ(back[i]["type"], 2);
      EXPECT_EQ(back[i]["first"], back[i]["second"]);
      continue;
    }
    ASSERT_EQ(back[i]["type"], 6) << i;
    EXPECT_NEAR(back[i]["sweepDeg"].get<double>(), cases[i].readSweep, 1e-9) << i;
    if (cases[i].readSweep == 360) {
      EXPECT_EQ(back[i]["sweepDeg"], 360.0) << i;
    }
  }

  if (!HaveEzdxf()) GTEST_SKIP() << "python3-ezdxf missing: independent read skipped";
  WriteAll(path("spans.py"),
           "import ezdxf,math,sys\nfrom ezdxf.math import arc_angle_span_deg as a, ellipse_param_span as p\n"
           "for e in ezdxf.readfile(sys.argv[1]).modelspace():\n  d=e.dxf; t=e.dxftype()\n"
           "  print(t, 360 if t=='CIRCLE' else a(d.start_angle,d.end_angle) if t=='ARC' else\n"
           "    math.degrees(p(d.start_param,d.end_param)) if t=='ELLIPSE' else 0)\n");
  const std::string cmd = "/usr/bin/python3 " + path("spans.py") + " " + path("out.dxf") + " > " + path("py.out") + " 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << ReadAll(path("py.out"));
  std::istringstream lines(ReadAll(path("py.out")));
  for (const Case& c : cases) {
    std::string kind;
    double span = -1;
    lines >> kind >> span;
    EXPECT_EQ(kind, c.kind);
    EXPECT_NEAR(span, c.readSweep, 1e-9) << kind;
  }
}

// An ellipse, which a bulge cannot hold, joins as chords within a millionth of its size.
TEST_F(Drawclean, JoinedEllipseStaysWithinItsBound) {
  const double a = 20, b = 10;
  const std::string ellipse = "0\nELLIPSE\n8\n0\n10\n0.0\n20\n0.0\n11\n20.0\n21\n0.0\n40\n0.5\n41\n0.0\n42\n3.0\n";
  WriteAll(path("in.dxf"), Dxf("AC1015", ellipse + DxfLine(a, 0, a + 5, -5)));
  Outcome o = run("--join --join-arcs -q " + path("in.dxf") + " -o " + path("out.dxf"));
  ASSERT_EQ(o.status, 0) << o.err;
  const auto polys = LwPolylines(ReadAll(path("out.dxf")));
  ASSERT_EQ(polys.size(), 1u);
  const auto& vs = polys[0].vertices;
  ASSERT_GT(vs.size(), 100u);
  for (size_t i = 0; i + 1 < vs.size(); ++i) {
    const auto &p = vs[i], &q = vs[i + 1];
    if (p[0] > a || q[0] > a) continue;  // the line
    EXPECT_EQ(p[2], 0.0);
    // The curve strays furthest from a chord at the middle of its parameter range.
    const double t0 = std::atan2(p[1] / b, p[0] / a), t1 = std::atan2(q[1] / b, q[0] / a);
    const double t = (t0 + t1) / 2, mx = a * std::cos(t), my = b * std::sin(t);
    const double cx = q[0] - p[0], cy = q[1] - p[1];
    EXPECT_LE(std::fabs(cx * (my - p[1]) - cy * (mx - p[0])) / std::hypot(cx, cy), 1e-6 * a) << i;
  }
}

// A layer named like the plug-in's marker class is the user's like any other.
TEST_F(Drawclean, LayerNamedLikeTheMarkerClassIsKept) {
  const std::string entities =
      DxfLine(0, 0, 10, 0, "", "Clean-up marker") + DxfLine(0, 5, 10, 5, "", "CLEAN-UP MARKER 2");
  WriteAll(path("in.dxf"), Dxf("AC1009", entities));
  Outcome o = run(std::string(kNoPasses) + " -q " + path("in.dxf") + " -o " + path("same.dxf"));
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(ReadAll(path("same.dxf")), ReadAll(path("in.dxf")));  // nothing rewritten
  o = run("--all -q " + path("in.dxf") + " -o " + path("all.dxf"));
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(ReadAll(path("all.dxf")), ReadAll(path("in.dxf")));
}

// Handles of new entities lie above every handle in use, whatever the seed says.
TEST_F(Drawclean, NewHandlesNeverCollide) {
  struct Case {
    const char* name;
    std::string seed, lastHandle;
    const char* expected;  // handle of the joined polyline; nullptr: no room, exit 2
  };
  const Case cases[] = {
      {"seed at the top", "FFFFFFFFFFFFFFFF", "30", "31"},
      {"stale seed", "5", "30", "31"},
      {"seed ahead", "100", "30", "100"},
      {"handle at the top", "5", "FFFFFFFFFFFFFFFF", nullptr},
      {"handle longer than 64 bits", "5", "1FFFFFFFFFFFFFFFF", nullptr},
  };
  for (const Case& c : cases) {
    WriteAll(path("in.dxf"), Dxf("AC1015", DxfLine(0, 0, 10, 0, "5\n1\n") + DxfLine(10, 0, 10, 5, "5\n" + c.lastHandle + "\n"), c.seed));
    Outcome o = run("--join -q " + path("in.dxf") + " -o " + path("out.dxf"));
    if (!c.expected) {
      EXPECT_EQ(o.status, 2) << c.name;
      EXPECT_NE(o.err.find("handle"), std::string::npos) << c.name << o.err;
      EXPECT_FALSE(fs::exists(path("out.dxf"))) << c.name;
      continue;
    }
    ASSERT_EQ(o.status, 0) << c.name << o.err;
    const std::string out = ReadAll(path("out.dxf"));
    EXPECT_NE(out.find("LWPOLYLINE\n5\n" + std::string(c.expected) + "\n"), std::string::npos) << c.name << out;
    fs::remove(path("out.dxf"));
  }
}

// Outputs go through symlinks to their targets, keep the target's mode and
// links, refuse what is not a regular file, and are all checked before the
// drawing is read.
TEST_F(Drawclean, OutputPathsAreSafe) {
  const std::string walls = std::string(EXAMPLES_DIR) + "/walls.dxf";
  WriteAll(path("real.dxf"), "old");
  fs::create_symlink("real.dxf", path("link.dxf"));
  Outcome o = run(std::string(kEveryPass) + " -q " + walls + " -o " + path("link.dxf"));
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_TRUE(fs::is_symlink(path("link.dxf")));
  EXPECT_NE(ReadAll(path("real.dxf")), "old");

  WriteAll(path("private.dxf"), "old");
  fs::permissions(path("private.dxf"), fs::perms::owner_read | fs::perms::owner_write);
  fs::create_hard_link(path("private.dxf"), path("second-name.dxf"));
  o = run(std::string(kEveryPass) + " -q " + walls + " -o " + path("private.dxf"));
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(fs::status(path("private.dxf")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_NE(ReadAll(path("second-name.dxf")), "old");  // still one file
  EXPECT_EQ(ReadAll(path("second-name.dxf")), ReadAll(path("private.dxf")));

  ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
  const size_t before = fileCount();
  struct Case {
    std::string args, mentions;
  };
  const Case cases[] = {
      {"-o " + path("fifo"), "is a FIFO"},
      {"-o " + path("."), "is a directory"},
      {"-o " + path("new.dxf") + " --svg " + path("no/such/dir/x.svg"), "x.svg: cannot write"},
      {"-o " + path("new.dxf") + " --report " + path("fifo"), "is a FIFO"},
      {"-o " + path("new.dxf") + " --svg " + path("new.dxf"), "name the same file"},
      {"-o " + path("new.dxf") + " --svg " + walls, "would overwrite the input"},
      // A bad path fails before the drawing is even read.
      {path("missing.dxf") + " -o " + path("fifo"), "is a FIFO"},
  };
  for (const Case& c : cases) {
    const std::string args = c.args.rfind("-o", 0) == 0 ? walls + " " + c.args : c.args;
    o = run("-q " + args);
    EXPECT_EQ(o.status, 2) << c.args;
    EXPECT_NE(o.err.find(c.mentions), std::string::npos) << c.args << "\n" << o.err;
    EXPECT_EQ(fileCount(), before) << c.args;  // nothing written, no temporary file left
  }
  EXPECT_TRUE(fs::is_fifo(path("fifo")));
}

// Malformed values reach the terminal short and escaped; JSON gaps are named.
TEST_F(Drawclean, BadValuesGetSafeOneLineMessages) {
  const std::string head = "{\"format\":\"drawclean-drawing\",\"version\":";
  WriteAll(path("huge.json"), head + "1,\"objects\":[{\"type\":2,\"first\":[1e999,0],\"second\":[0,0]}]}");
  WriteAll(path("gap.json"), head + "1,\"objects\":[{\"type\":6,\"center\":[0,0],\"hRadius\":1}]}");
  WriteAll(path("float.json"), head + "1.0,\"objects\":[{\"type\":2,\"first\":[1,0],\"second\":[0,0]}]}");
  WriteAll(path("empty.dxf"), "");
  WriteAll(path("escape.dxf"), "0\nSECTION\n\x1b]0;owned\x07\nX\n0\nEOF\n");
  WriteAll(path("long.dxf"), Dxf("AC1009", "0\nLINE\n8\n0\n10\n" + std::string(100000, '9') + "x\n"));
  struct Case {
    std::string file, mentions;
    int status;
  };
  const Case cases[] = {
      {"huge.json", "number overflow", 2},
      {"gap.json", "objects[0]: missing \"vRadius\"", 2},
      {"float.json", "", 0},
      {"empty.dxf", "empty.dxf: empty file", 2},
      {"escape.dxf", "\\x1b]0;owned\\x07", 2},
      {"long.dxf", "(100001 characters)", 2},
  };
  for (const Case& c : cases) {
    Outcome o = run("-q " + path(c.file) + " -o " + path("out.json"));
    EXPECT_EQ(o.status, c.status) << c.file << o.err;
    EXPECT_NE(o.err.find(c.mentions), std::string::npos) << c.file << "\n" << o.err;
    if (c.status == 0) continue;
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
    EXPECT_LT(o.err.size(), 300u) << c.file;
    EXPECT_EQ(o.err.find('\x1b'), std::string::npos) << c.file;
  }
}
#endif
