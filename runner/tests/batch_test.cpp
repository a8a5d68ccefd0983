// drawclean as a user runs it: many drawings at once, progress on a
// terminal only, pass-through counts of the shared samples, and a man page
// that lists every option.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "batch.h"
#include "test_files.h"

#ifdef DRAWCLEAN_EXE
namespace fs = std::filesystem;

namespace {

using Runner = DrawcleanRun;

size_t Lines(const std::string& s, const std::string& start) {
  size_t n = 0;
  std::istringstream in(s);
  for (std::string line; std::getline(in, line);) n += line.rfind(start, 0) == 0;
  return n;
}

// A DXF of n separate lines, enough for progress to show.
std::string ManyLines(int n) {
  std::string e;
  for (int i = 0; i < n; ++i)
    e += "0\nLINE\n8\n0\n10\n" + std::to_string(i * 3) + ".0\n20\n0.0\n11\n" + std::to_string(i * 3 + 1) +
         ".0\n21\n0.0\n";
  return "0\nSECTION\n2\nENTITIES\n" + e + "0\nENDSEC\n0\nEOF\n";
}

TEST_F(Runner, BatchCleansEachDrawingAndReportsTheBadOnes) {
  const fs::path walls = fs::path(EXAMPLES_DIR) / "walls.dxf";
  fs::create_directories(path("in/sub"));
  fs::copy_file(walls, path("in/a.dxf"));
  fs::copy_file(fs::path(EXAMPLES_DIR) / "walls.json", path("in/b.JSON"));
  WriteAll(path("in/bad.dxf"), "not a drawing\n");
  WriteAll(path("in/notes.txt"), "skipped");
  fs::copy_file(walls, path("in/sub/deeper.dxf"));  // folders are not searched below the top
  fs::copy_file(walls, path("c.dxf"));

  struct Case {
    std::string jobs;
    unsigned workers;
  };
  for (const Case& c : {Case{"-j 1", 1}, Case{"-j 3", 3}, Case{"", std::min(4u, drawclean::DefaultJobs())}}) {
    fs::remove_all(path("out"));
    Outcome o = run("--all -t 0.05 " + c.jobs + " " + path("in") + " " + path("c.dxf") + " " + path("gone.dxf") +
                    " --out-dir " + path("out"));
    EXPECT_EQ(o.status, 2) << c.jobs << o.err;
    EXPECT_EQ(Lines(o.out, "cleaned "), 3u) << c.jobs << o.out;
    EXPECT_EQ(Lines(o.err, "failed  "), 2u) << c.jobs << o.err;
    EXPECT_NE(o.err.find("bad.dxf: line 1"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("gone.dxf: No such file"), std::string::npos) << o.err;
    EXPECT_NE(o.out.find("5 drawings, 3 cleaned, 2 failed"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("with " + std::to_string(c.workers) + " worker"), std::string::npos) << c.jobs << o.out;
    EXPECT_NE(o.out.find("a.dxf: 28 -> 9 objects"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("passed through: 1 text"), std::string::npos) << o.out;
    std::set<std::string> written;
    for (const auto& e : fs::directory_iterator(path("out"))) written.insert(e.path().filename().string());
    EXPECT_EQ(written, (std::set<std::string>{"a.dxf", "b.JSON", "c.dxf"})) << c.jobs;  // no temporary left
  }
  // Each output is what the single-file run writes.
  ASSERT_EQ(run("--all -t 0.05 -q " + path("c.dxf") + " -o " + path("single.dxf")).status, 0);
  EXPECT_EQ(ReadAll(path("out/c.dxf")), ReadAll(path("single.dxf")));

  // All good: exit 0.
  Outcome o = run("--all " + path("in/a.dxf") + " " + path("c.dxf") + " --out-dir " + path("ok"));
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(Lines(o.out, "cleaned "), 2u);
}

TEST_F(Runner, BatchRefusesBeforeAnyWork) {
  fs::create_directories(path("x"));
  fs::create_directories(path("y"));
  fs::create_directories(path("empty"));
  const fs::path walls = fs::path(EXAMPLES_DIR) / "walls.dxf";
  fs::copy_file(walls, path("x/plan.dxf"));
  fs::copy_file(walls, path("y/plan.dxf"));
  WriteAll(path("file"), "");
  struct Case {
    std::string args, mentions;
  };
  const Case cases[] = {
      {path("x/plan.dxf") + " " + path("y/plan.dxf"), "need --out-dir"},
      {path("x"), "x: is a directory; to clean the drawings in it, give --out-dir DIR"},
      {path("x/plan.dxf") + " " + path("y/plan.dxf") + " --out-dir " + path("out"), "would both be written to"},
      {path("x") + " --out-dir " + path("x"), "would overwrite the input"},
      {path("x") + " --out-dir " + path("file"), "is not a folder"},
      {path("empty") + " --out-dir " + path("out"), "no .dxf or .json drawing"},
      {path("x") + " --out-dir " + path("out") + " --svg " + path("a.svg"), "--svg cleans one drawing"},
      {path("x") + " --out-dir " + path("out") + " -o " + path("a.dxf"), "-o cleans one drawing"},
      {path("x") + " --out-dir " + path("out") + " -j 0", "--jobs"},
      {path("x/plan.dxf") + " -j 2", "-j only applies with --out-dir"},
  };
  for (const Case& c : cases) {
    Outcome o = run(c.args);
    EXPECT_EQ(o.status, 2) << c.args;
    EXPECT_NE(o.err.find(c.mentions), std::string::npos) << c.args << "\n" << o.err;
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
    EXPECT_FALSE(fs::exists(path("out"))) << c.args;
  }
  EXPECT_EQ(ReadAll(path("x/plan.dxf")), ReadAll(walls));
}

TEST(BatchWorker, OutcomeSaysWhatEndedTheWorker) {
  struct Case {
    const char* name;
    int status;
    std::string out, err, expected;
    bool ok;
  };
  const Case cases[] = {
      {"done", 0, "a.dxf -> o/a.dxf: 3 -> 2 objects\n", "", "a.dxf -> o/a.dxf: 3 -> 2 objects", true},
      {"done with a warning", 0, "a.dxf: 3 -> 2\n", "drawclean: warning: 1 object left out\n",
       "a.dxf: 3 -> 2; warning: 1 object left out", true},
      {"bad input", 2 << 8, "", "drawclean: a.dxf: line 3: group code expected\n", "a.dxf: line 3: group code expected",
       false},
      {"message without the file", 2 << 8, "", "noise\ndrawclean: out of memory while reading\n",
       "a.dxf: out of memory while reading", false},
      {"killed", SIGKILL, "", "", "a.dxf: the worker was ended by signal 9", false},
      {"crashed", SIGSEGV, "", "AddressSanitizer: SEGV\n", "a.dxf: the worker was ended by signal 11", false},
      {"silent failure", 3 << 8, "", "", "a.dxf: the worker stopped with status 3", false},
  };
  for (const Case& c : cases) {
    const drawclean::BatchOutcome o = drawclean::WorkerOutcome("a.dxf", c.status, c.out, c.err);
    EXPECT_EQ(o.ok, c.ok) << c.name;
    EXPECT_EQ(o.line.rfind(c.expected, 0), 0u) << c.name << ": " << o.line;
  }
}

// Progress shows on a terminal, names its pass and counts objects; on a pipe
// nothing of it appears.
TEST_F(Runner, ProgressOnlyOnATerminal) {
  WriteAll(path("many.dxf"), ManyLines(3000));
  int master = -1;
  const std::string out = path("out.dxf");
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const std::string in = path("many.dxf");
    ::execl(DRAWCLEAN_EXE, DRAWCLEAN_EXE, "--all", in.c_str(), "-o", out.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  std::string seen;
  char buf[4096];
  for (;;) {
    pollfd p{master, POLLIN, 0};
    if (::poll(&p, 1, 120000) <= 0) break;
    const ssize_t n = ::read(master, buf, sizeof buf);
    if (n <= 0) break;
    seen.append(buf, size_t(n));
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(master);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << seen;
  for (const char* name : {"pass 1 of 8, flatten 3D: ", "duplicates: ", "join: ", "of 3,000 objects"})
    EXPECT_NE(seen.find(name), std::string::npos) << name << "\n" << seen;

  Outcome piped = run("--all " + path("many.dxf") + " -o " + out);
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(piped.err, "");
}

// What the shared samples pass through, by kind, in the JSON report.
TEST_F(Runner, SamplesReportWhatPassedThrough) {
  if (!fs::exists(DXF_SAMPLES_DIR)) GTEST_SKIP() << "no shared samples";
  struct Case {
    const char* file;
    std::map<std::string, int> kinds;
  };
  const Case cases[] = {
      {"texts.dxf", {{"multiline texts", 2}}},
      {"hatches.dxf", {{"hatches", 1}}},
      {"dimensions.dxf", {{"dimensions", 2}}},
      {"heart.dxf", {{"polyface meshes", 1}}},
      {"circlesellipsesarcs.dxf", {{"rotated ellipses", 2}}},
      {"entities.dxf", {{"multiline texts", 29}, {"block references", 29}}},
      {"2Dhatch.dxf", {{"attribute definitions", 3}, {"hatches", 1}, {"viewports in paper space", 1}}},
      {"lines.dxf", {}},
  };
  for (const Case& c : cases) {
    const fs::path in = fs::path(DXF_SAMPLES_DIR) / c.file;
    if (!fs::exists(in)) continue;
    Outcome o = run("--all -n " + in.string() + " --report " + path("r.json"));
    ASSERT_EQ(o.status, 0) << c.file << o.err;
    const auto report = nlohmann::json::parse(ReadAll(path("r.json")));
    std::map<std::string, int> kinds;
    int total = 0;
    for (auto& [k, v] : report["passedThrough"]["byKind"].items()) kinds[k] = v.get<int>(), total += v.get<int>();
    EXPECT_EQ(kinds, c.kinds) << c.file;
    EXPECT_EQ(report["passedThrough"]["total"], total) << c.file;
    EXPECT_NE(o.out.find("passed through unchanged (no pass handles them): "), std::string::npos) << o.out;
  }
}

// Every option --help lists is in the man page.
TEST_F(Runner, ManPageListsEveryOption) {
  Outcome o = run("--help");
  ASSERT_EQ(o.status, 0);
  const std::string man = ReadAll(fs::path(RUNNER_SOURCE_DIR) / "../docs/drawclean.1.in");
  std::set<std::string> options;
  const std::regex option("(^|[ ,])(--?[a-z][a-z0-9-]*)");
  for (auto it = std::sregex_iterator(o.out.begin(), o.out.end(), option); it != std::sregex_iterator(); ++it)
    options.insert((*it)[2]);
  EXPECT_GT(options.size(), 20u);
  for (const std::string& opt : options) {
    std::string escaped;
    for (char ch : opt) escaped += ch == '-' ? std::string("\\-") : std::string(1, ch);
    EXPECT_NE(man.find(escaped), std::string::npos) << opt;
  }
}

}  // namespace
#endif
