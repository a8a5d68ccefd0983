// End-to-end runs of the drawclean program: exit codes, written files read
// back, pass-through of what no pass cleaned, and every kind of bad input.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "dxf_tags.h"

#ifdef DRAWCLEAN_EXE
namespace fs = std::filesystem;

namespace {

const char* const kNoPasses = "--no-degenerate --no-vertex-cleanup";
const char* const kEveryPass = "--all -t 0.05";

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

struct Outcome {
  int status = -1;
  std::string out, err;
};

class Drawclean : public ::testing::Test {
 protected:
  fs::path dir;
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("drawclean-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  Outcome run(const std::string& args) {
    Outcome r;
    const std::string cmd = std::string(DRAWCLEAN_EXE) + " " + args + " >" + (dir / "stdout").string() +
                            " 2>" + (dir / "stderr").string();
    const int s = std::system(cmd.c_str());
    r.status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    r.out = ReadAll(dir / "stdout");
    r.err = ReadAll(dir / "stderr");
    fs::remove(dir / "stdout");
    fs::remove(dir / "stderr");
    return r;
  }
  std::string path(const std::string& name) const { return (dir / name).string(); }
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
#endif
