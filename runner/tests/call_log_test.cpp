// The call log is instrumentation: a run that streams it must clean every
// drawing exactly as a run without it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "test_files.h"
#include <sstream>

#ifdef DRAWCLEAN_EXE
namespace fs = std::filesystem;

namespace {

struct Case {
  fs::path drawing;
  std::string options;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.drawing.filename().string() << " " << c.options; }

std::vector<Case> Cases() {
  std::vector<Case> cases;
  for (const char* dir : {EXAMPLES_DIR, DXF_SAMPLES_DIR}) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
      const auto ext = e.path().extension();
      if (ext != ".dxf" && ext != ".json") continue;
      cases.push_back({e.path(), "--all -t 0.05"});
      if (dir == std::string(EXAMPLES_DIR)) cases.push_back({e.path(), "--all -t 0.05 --no-convert-in-place"});
    }
  }
  std::sort(cases.begin(), cases.end(), [](const Case& a, const Case& b) {
    return std::tie(a.drawing, a.options) < std::tie(b.drawing, b.options);
  });
  return cases;
}

class CallLog : public ::testing::TestWithParam<Case> {};

TEST_P(CallLog, ChangesNothing) {
  const Case& c = GetParam();
  const fs::path dir = fs::temp_directory_path() / ("call-log-" + std::to_string(::getpid()) + "-" +
                                                    c.drawing.stem().string());
  fs::create_directories(dir);
  const std::string ext = c.drawing.extension().string();
  auto run = [&](const std::string& out, const std::string& extra) {
    const std::string cmd = std::string(DRAWCLEAN_EXE) + " " + c.options + " -q '" + c.drawing.string() +
                            "' -o " + (dir / out).string() + extra + " >/dev/null 2>&1";
    const int s = std::system(cmd.c_str());
    return WIFEXITED(s) ? WEXITSTATUS(s) : -1;
  };
  const int quiet = run("quiet" + ext, "");
  const int logged = run("logged" + ext, " --call-log " + (dir / "calls.log").string());
  EXPECT_EQ(quiet, logged);
  EXPECT_EQ(ReadAll(dir / ("quiet" + ext)), ReadAll(dir / ("logged" + ext)));
  if (quiet == 0) EXPECT_EQ(ReadAll(dir / "calls.log").rfind("AllocateHandle(68)\n", 0), 0u);
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(EveryDrawing, CallLog, ::testing::ValuesIn(Cases()), [](const auto& info) {
  std::string name = info.param.drawing.filename().string() + (info.param.options.find("no-convert") !=
                                                                      std::string::npos ? "_newHandles" : "");
  for (char& ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
});

}  // namespace
#endif
