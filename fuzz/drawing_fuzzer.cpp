// Coverage-guided fuzzing of the whole command through the project's host:
// the input bytes become a drawing, the options and the host's faults
// (fuzz/drawing_input.h); the real libcleanup.so runs actions 1, 3 and 2 on
// it, and the run is audited. Where the host kept its contract, the coverage
// check then asks that nothing drawn was lost or added. The same input runs
// through the plug-in forced to its large-drawing ways and forced to its
// written ways: all three must leave the same drawing.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/coverage_oracle.h"
#include "fuzz/drawing_input.h"
#include "fuzz/run_audit.h"
#include "hostapp/host.h"

namespace {

void LoadPlugin(hostapp::Host& host, const char* path) {
  std::string error;
  if (!host.LoadPlugin(path, &error)) {
    std::fprintf(stderr, "cannot load the plug-in: %s\n", error.c_str());
    std::abort();
  }
}

// Builds the drawing, options and faults from the input and runs the command
// on host through the plug-in at `path`, with its call log on or off.
void RunInput(const uint8_t* data, size_t size, const char* path, hostapp::Host& host, bool logCalls,
              runaudit::Snapshot& before, runaudit::RunFacts& facts) {
  // dlopen hands back the already loaded library after the first input.
  LoadPlugin(host, path);
  host.settings.logCalls = logCalls;
  drawinginput::Options options;
  drawinginput::Decode(data, size, host, options, facts);
  before = runaudit::Take(host);
  drawinginput::RunCommand(host, options, facts);
}

[[noreturn]] void Finding(const runaudit::RunFacts& facts, const std::vector<std::string>& problems) {
  std::fprintf(stderr, "run result %d, flags", facts.result);
  for (uint8_t f : facts.flags) std::fprintf(stderr, " %u", unsigned(f));
  std::fprintf(stderr, ", tolerances %.17g and %.17g\n", facts.tolerance1, facts.tolerance2);
  for (const std::string& p : problems) std::fprintf(stderr, "  %s\n", p.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Front ends run with the call log off: that run is the one audited.
  hostapp::Host host;
  runaudit::Snapshot before;
  runaudit::RunFacts facts;
  RunInput(data, size, CLEANUP_PLUGIN_PATH, host, false, before, facts);
  const std::vector<std::string> problems = runaudit::Audit(host, before, facts);
  if (!problems.empty()) Finding(facts, problems);
  // The coverage oracle is on unless CLEANUP_FUZZ_COVERAGE=0 asks otherwise
  // (to look at the comparison of the ways alone while a loss is mended).
  static const bool coverageOracle = [] {
    const char* v = std::getenv("CLEANUP_FUZZ_COVERAGE");
    return v == nullptr || std::string(v) != "0";
  }();
  if (const auto rules = coverageOracle ? runaudit::CoverageRules(host, facts) : std::nullopt) {
    const std::vector<std::string> places = runaudit::CoverageProblems(before, host, *rules);
    if (!places.empty()) Finding(facts, places);
  }

  // The index of the large-drawing ways is only a filter, and the log is
  // instrumentation: neither may change what the run leaves.
  struct Variant {
    const char* path;
    bool logCalls;
    const char* name;
  };
  static constexpr Variant kVariants[] = {
      {CLEANUP_LARGE_WAYS_PATH, false, "forced to the large-drawing ways"},
      {CLEANUP_WRITTEN_WAYS_PATH, true, "forced to the written ways, with the call log on"},
  };
  for (const Variant& v : kVariants) {
    hostapp::Host other;
    runaudit::Snapshot otherBefore;
    runaudit::RunFacts otherFacts;
    RunInput(data, size, v.path, other, v.logCalls, otherBefore, otherFacts);
    const std::string difference = runaudit::EndStateDifference(host, other);
    if (!difference.empty()) Finding(facts, {std::string(v.name) + ": " + difference});
  }
  return 0;
}
