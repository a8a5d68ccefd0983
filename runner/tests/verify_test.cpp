// --verify: the coverage check wired to the runner's run, and what the user
// is told when it fails; end to end on every example and shared sample.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "hostapp/builders.h"
#include "test_files.h"
#include "verify.h"

namespace fs = std::filesystem;

namespace {

drawclean::RunResult Ran(double pointTolerance, std::initializer_list<int> flags) {
  drawclean::RunResult r;
  r.pointTolerance = pointTolerance;
  r.sizeTolerance = 0.0001;
  for (int f : flags) r.flagsUsed[size_t(f)] = true;
  return r;
}

struct VerifyCase {
  const char* name;
  double worldScale;
  double shortenedBy;  // how much of the line the "run" took away
  bool passes;
};

class VerifyRun : public ::testing::TestWithParam<VerifyCase> {};

// The tolerance the user typed is in drawing units; the check measures in
// world units, as the plug-in does.
TEST_P(VerifyRun, MeasuresInWorldUnits) {
  const VerifyCase& c = GetParam();
  hostapp::Host host;
  host.settings.worldScale = c.worldScale;
  const ObjectHandle h = host.Add(hostapp::Line(0, 0, 100, 0));
  const auto before = drawclean::DrawnObjects(host, "marker");
  host.Edit(h).second = hostapp::Pt(100 - c.shortenedBy, 0);
  const coverage::Report r = drawclean::VerifyRun(before, host, "marker", Ran(0.01, {4}));
  EXPECT_EQ(r.Passed(), c.passes);
}

INSTANTIATE_TEST_SUITE_P(Scales, VerifyRun,
                         ::testing::Values(VerifyCase{"Unchanged", 1, 0, true},
                                           VerifyCase{"ShortenedWithinTolerance", 1, 0.005, true},
                                           VerifyCase{"ShortenedBeyondTolerance", 1, 1, false},
                                           VerifyCase{"WorldTenTimesLarger", 1000, 5, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(VerifyRun, ObjectsOfTheMarkerClassAreGone) {
  hostapp::Host host;
  const ObjectHandle h = host.Add(hostapp::Line(0, 0, 10, 0));
  const auto before = drawclean::DrawnObjects(host, "marker");
  host.Edit(h).cls = host.ClassNamed("marker");
  EXPECT_FALSE(drawclean::VerifyRun(before, host, "marker", Ran(0.01, {})).Passed());
}

TEST(VerifyFailureLines, TenPlacesThenACount) {
  coverage::Report r;
  for (int i = 0; i < 11; ++i) r.missing.push_back({size_t(i), 0, double(i), 2, double(i), 2});
  r.added.push_back({0, 0, 0, 0, 3, 3});
  const auto lines = drawclean::VerifyFailureLines(
      r, [](size_t i) { return "LINE " + std::to_string(i); }, [](size_t) { return std::string("a line"); });
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0], "lost 2 long from (0, 0) to (2, 0) of LINE 0");
  EXPECT_EQ(lines[10], "... and 2 more places");
  r.missing.resize(1);
  const auto few = drawclean::VerifyFailureLines(
      r, [](size_t) { return std::string("ARC"); }, [](size_t) { return std::string("a line"); });
  EXPECT_EQ(few.back(), "drawn anew 3 long from (0, 0) to (0, 3) by a line");
}

#ifdef DRAWCLEAN_EXE

struct Drawing {
  fs::path file;
  std::string options;
};

void PrintTo(const Drawing& d, std::ostream* os) { *os << d.file.filename().string() << " " << d.options; }

// Every example and shared sample under the option sets the other runner
// tests use, and --all at the tolerances users pick most.
std::vector<Drawing> Drawings() {
  std::vector<Drawing> out;
  for (const char* dir : {EXAMPLES_DIR, DXF_SAMPLES_DIR}) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
      if (e.path().extension() == ".dxf" || e.path().extension() == ".json") out.push_back({e.path(), ""});
  }
  std::sort(out.begin(), out.end(), [](const Drawing& a, const Drawing& b) { return a.file < b.file; });
  return out;
}

const char* const kOptionSets[] = {
    "--all -t 0.01", "--all -t 0.1", "--all -t 0.05", "--all -t 0.05 --no-convert-in-place",
    "--all", "--join --join-arcs -t 0.5", "--no-degenerate --no-vertex-cleanup",
};

class VerifyDrawing : public ::testing::TestWithParam<Drawing> {};

TEST_P(VerifyDrawing, NothingDrawnIsLost) {
  const Drawing& d = GetParam();
  const fs::path dir = fs::temp_directory_path() / ("verify-" + std::to_string(::getpid()) + "-" + d.file.stem().string());
  fs::create_directories(dir);
  for (const char* options : kOptionSets) {
    SCOPED_TRACE(options);
    const fs::path report = dir / "report.json";
    const std::string cmd = std::string(DRAWCLEAN_EXE) + " " + options + " --verify -n '" + d.file.string() +
                            "' --report " + report.string() + " >" + (dir / "out").string() + " 2>" +
                            (dir / "err").string();
    const int s = std::system(cmd.c_str());
    ASSERT_EQ(WIFEXITED(s) ? WEXITSTATUS(s) : -1, 0) << ReadAll(dir / "err");
    EXPECT_NE(ReadAll(dir / "out").find("coverage check: passed"), std::string::npos);
    const auto j = nlohmann::json::parse(ReadAll(report));
    EXPECT_TRUE(j.at("coverage").at("passed").get<bool>());
  }
  fs::remove_all(dir);
}

bool HaveEzdxf() { return std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") == 0; }

// Read back by an independent reader, every cleaned drawing still draws what
// its original drew: this sees faults of reading and writing the file, which
// --verify takes as given. Full turns written a hair past 360 degrees or 2 pi,
// as many writers do, and noisy pieces of one line are among the drawings.
TEST(ReadBack, NothingDrawnIsLostToAnotherReader) {
  if (!HaveEzdxf()) GTEST_SKIP() << "python3-ezdxf missing";
  const fs::path dir = fs::temp_directory_path() / ("readback-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string entities =
      "0\nELLIPSE\n8\n0\n10\n0\n20\n0\n30\n0\n11\n400\n21\n0\n31\n0\n40\n0.75\n41\n0\n42\n6.28318530718\n"
      "0\nARC\n8\n0\n10\n0\n20\n0\n30\n0\n40\n5\n50\n0\n51\n360.0000000001\n"
      "0\nARC\n8\n0\n10\n20\n20\n0\n30\n0\n40\n5\n50\n90\n51\n89.9999999999\n"
      "0\nLINE\n8\n0\n10\n10\n20\n50\n11\n0\n21\n49.9999999\n"
      "0\nLINE\n8\n0\n10\n9\n20\n49.9999999\n11\n0\n21\n50\n";
  WriteAll(dir / "noisy.dxf", "0\nSECTION\n2\nENTITIES\n" + entities + "0\nENDSEC\n0\nEOF\n");
  std::vector<fs::path> drawings = {dir / "noisy.dxf", fs::path(EXAMPLES_DIR) / "walls.dxf"};
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(DXF_SAMPLES_DIR, ec))
    if (e.path().extension() == ".dxf") drawings.push_back(e.path());
  for (const char* tolerance : {"0.01", "0.1"}) {
    SCOPED_TRACE(tolerance);
    std::string pairs;
    for (size_t i = 0; i < drawings.size(); ++i) {
      const fs::path out = dir / (std::to_string(i) + ".dxf");
      const std::string cmd = std::string(DRAWCLEAN_EXE) + " --all -q -t " + tolerance + " '" +
                              drawings[i].string() + "' -o " + out.string() + " 2>/dev/null";
      ASSERT_EQ(std::system(cmd.c_str()), 0) << drawings[i];
      pairs += " '" + drawings[i].string() + "' " + out.string();
    }
    const std::string check = "/usr/bin/python3 " + std::string(RUNNER_SOURCE_DIR) + "/tests/readback_coverage.py " +
                              tolerance + " 0.0001" + pairs + " >" + (dir / "py.out").string() + " 2>&1";
    EXPECT_EQ(std::system(check.c_str()), 0) << ReadAll(dir / "py.out");
  }
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(EveryDrawing, VerifyDrawing, ::testing::ValuesIn(Drawings()), [](const auto& info) {
  std::string name = info.param.file.filename().string();
  for (char& ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
});

#endif

}  // namespace
