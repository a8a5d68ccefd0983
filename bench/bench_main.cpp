// The benchmark program: checks first what is measured once (heap held by a
// large drawing, allocations made by the plug-in), then runs every benchmark
// and closes with the targets as ratios taken from this one run.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <sys/resource.h>
#include <unistd.h>

#include <ctime>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench_common.h"
#include "drawing_gen.h"
#include "heap_audit.h"
#include "hostapp/builders.h"

namespace bench {

namespace {

// Offsets of the tolerances in the settings record.
constexpr size_t kTolerance1Offset = 10;
constexpr size_t kTolerance2Offset = 18;

// The targets.
constexpr double kMaxLayerToLeast = 1.2;
constexpr double kMaxLinearDoubling = 2.3;
constexpr double kMaxComparingDoubling = 4.6;
constexpr size_t kLargeDrawing = 100000;
constexpr double kMaxLargeDrawingMiB = 64.0;
constexpr double kMiB = 1024.0 * 1024.0;

}  // namespace

std::unique_ptr<hostapp::Host> NewHostWithPlugin() {
  auto host = std::make_unique<hostapp::Host>();
  host->settings.logCalls = false;
  std::string error;
  if (!host->LoadPlugin(CLEANUP_PLUGIN_PATH, &error)) {
    std::fprintf(stderr, "cannot load %s: %s\n", CLEANUP_PLUGIN_PATH, error.c_str());
    std::exit(2);
  }
  return host;
}

// CPU time of this thread: the machine is shared, and time spent waiting for
// a core says nothing about the code.
double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void* PluginLibrary() { return dlopen(CLEANUP_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD); }

RunCost RunCommandOnce(hostapp::Host& host, const RunOptions& options) {
  host.SendAction(kActionSetUp);
  if (uint8_t* block = host.SettingsBlock(); block != nullptr && !options.keepDefaults) {
    std::memcpy(block, options.flags, sizeof options.flags);
    std::memcpy(block + kTolerance1Offset, &options.tolerance1, sizeof options.tolerance1);
    std::memcpy(block + kTolerance2Offset, &options.tolerance2, sizeof options.tolerance2);
  }
  RunCost cost;
  const uint64_t before = host.CallCount();
  const double t0 = ThreadSeconds();
  cost.result = host.SendAction(kActionRun);
  cost.seconds = ThreadSeconds() - t0;
  cost.hostCalls = host.CallCount() - before;
  host.SendAction(kActionTearDown);
  host.userData = nullptr;
  return cost;
}

namespace {

// ---- measured once, before the benchmarks ----

struct OnceFigures {
  size_t objectBytes = 0;
  double heldMiB = 0, peakMiB = 0;
  bool interposed = false;
  // All passes on a small and a four times larger drawing: the index of a
  // comparing pass may allocate a few arena blocks per pass, never per
  // visited object or per host call, so the count must not grow with it.
  uint64_t pluginAllocations[2] = {};
  uint64_t auditedCalls[2] = {};
};

constexpr size_t kAuditedSizes[2] = {2000, 8000};
// Per comparing pass: the index record and the arena's blocks, which double.
constexpr uint64_t kMaxAllocationsPerPass = 8;
constexpr uint64_t kComparingPasses = 3;

OnceFigures MeasureOnce() {
  OnceFigures f;
  f.objectBytes = sizeof(hostapp::Object);
  {
    // Heap held by the host for 100,000 lines: built, then cleaned with the
    // default run. The host's plug-in loading is done before counting.
    auto host = NewHostWithPlugin();
    ResetHeapPeak();
    const size_t base = HeapLiveBytes();
    for (size_t i = 0; i < kLargeDrawing; ++i) {
      const double x = static_cast<double>(i % 1000) * 20.0;
      const double y = static_cast<double>(i / 1000) * 20.0;
      host->Add(hostapp::Line(x, y, x + 10, y + 5));
    }
    f.heldMiB = static_cast<double>(HeapLiveBytes() - base) / kMiB;
    RunOptions defaults;
    defaults.keepDefaults = true;
    RunCommandOnce(*host, defaults);
    f.peakMiB = static_cast<double>(HeapPeakBytes() - base) / kMiB;
  }
  for (size_t s = 0; s < 2; ++s) {
    // Every pass on the mixed drawing, counting what the plug-in's own code
    // puts on the heap.
    auto host = NewHostWithPlugin();
    for (const hostapp::Object& o : MixedDrawing(kAuditedSizes[s])) host->Add(o);
    void* plugin = PluginLibrary();
    f.interposed = plugin != nullptr && PluginUsesCountingNew(plugin);
    RunOptions all;
    for (uint8_t& flag : all.flags) flag = 1;
    const uint64_t before = PluginAllocations();
    WatchPluginAllocations(plugin, true);
    f.auditedCalls[s] = RunCommandOnce(*host, all).hostCalls;
    WatchPluginAllocations(plugin, false);
    f.pluginAllocations[s] = PluginAllocations() - before;
  }
  return f;
}

// ---- the closing summary ----

struct Measured {
  // Median CPU time of one iteration (the manual time of the pass cases is
  // CPU time too).
  double seconds = 0;
  std::map<std::string, double> counters;
};

// Shows what the console reporter shows and keeps the medians by name.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  // Colour only on a terminal, so saved output stays plain text.
  SummaryReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.error_occurred) continue;
      const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
      const bool single = r.run_type == Run::RT_Iteration && r.repetitions <= 1;
      if (!median && !single) continue;
      std::string key = r.run_name.function_name;
      if (!r.run_name.args.empty()) key += "/" + r.run_name.args;
      Measured m;
      const bool manual = r.run_name.time_type == "manual_time";
      m.seconds = (manual ? r.GetAdjustedRealTime() : r.GetAdjustedCPUTime()) /
                  benchmark::GetTimeUnitMultiplier(r.time_unit);
      for (const auto& [name, counter] : r.counters) m.counters[name] = counter.value;
      measured_[key] = m;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const Measured* Find(const std::string& key) const {
    auto it = measured_.find(key);
    return it == measured_.end() ? nullptr : &it->second;
  }

 private:
  std::map<std::string, Measured> measured_;
};

int missed = 0;

void Verdict(bool ok) {
  std::printf("  %s\n", ok ? "ok" : "MISSED");
  if (!ok) ++missed;
}

void PrintSummary(const SummaryReporter& rep, const OnceFigures& once) {
  std::printf("\n==== targets (ratios from this run; CPU times, medians of repetitions) ====\n");
  std::printf("\nhost call: layer / least sequence as a function (target <= %.1f); the same\n"
              "steps inlined into the caller, and the direct call, for comparison\n",
              kMaxLayerToLeast);
  for (const char* routine : {"GetObjectType", "GetVertex"}) {
    const std::string base = std::string("host_call/") + routine + "/";
    const Measured* layer = rep.Find(base + "layer");
    const Measured* least = rep.Find(base + "least");
    const Measured* inlined = rep.Find(base + "inlined");
    const Measured* direct = rep.Find(base + "direct");
    if (layer == nullptr || least == nullptr || inlined == nullptr || direct == nullptr) continue;
    std::printf("  %-14s layer %5.2f ns  least %5.2f ns  inlined %5.2f ns  direct %5.2f ns  "
                "layer/least %.3f  layer/inlined %.3f  layer/direct %.3f",
                routine, layer->seconds * 1e9, least->seconds * 1e9, inlined->seconds * 1e9,
                direct->seconds * 1e9, layer->seconds / least->seconds,
                layer->seconds / inlined->seconds, layer->seconds / direct->seconds);
    Verdict(layer->seconds / least->seconds <= kMaxLayerToLeast);
  }

  std::printf("\ndoubling the drawing: time(2n) / time(n), fastest of runs taken in turns "
              "(linear <= %.1f, comparing <= %.1f)\n",
              kMaxLinearDoubling, kMaxComparingDoubling);
  for (size_t i = 0; i < kPassCaseCount; ++i) {
    const PassCase& c = kPassCases[i];
    const double limit = c.comparing ? kMaxComparingDoubling : kMaxLinearDoubling;
    std::printf("  %-16s %-9s", c.name, c.comparing ? "comparing" : "linear");
    bool ok = true, any = false;
    for (size_t s = 0; s + 1 < kDrawingSizeCount; ++s) {
      const Measured* m =
          rep.Find(std::string("scaling/") + c.name + "/" + std::to_string(kDrawingSizes[s]));
      if (m == nullptr || m->counters.count("ratio") == 0) continue;
      const double ratio = m->counters.at("ratio");
      std::printf("  %lld->%lld %.2f", static_cast<long long>(kDrawingSizes[s]),
                  static_cast<long long>(2 * kDrawingSizes[s]), ratio);
      ok = ok && ratio <= limit;
      any = true;
    }
    if (any) Verdict(ok);
    else std::printf("  (not run)\n");
  }

  std::printf("\nhost memory: %zu bytes per object record\n", once.objectBytes);
  std::printf("  %zu lines: %.1f MiB held, %.1f MiB peak through a default run (target < %.0f MiB)",
              kLargeDrawing, once.heldMiB, once.peakMiB, kMaxLargeDrawingMiB);
  Verdict(once.peakMiB < kMaxLargeDrawingMiB);

  bool fewAllocations = once.interposed;
  for (size_t s = 0; s < 2; ++s) {
    std::printf("\nplug-in heap allocations during an all-passes run of %zu objects "
                "(%llu host calls): %llu (target <= %llu: a few per comparing pass)%s",
                kAuditedSizes[s], static_cast<unsigned long long>(once.auditedCalls[s]),
                static_cast<unsigned long long>(once.pluginAllocations[s]),
                static_cast<unsigned long long>(kMaxAllocationsPerPass * kComparingPasses),
                once.interposed ? "" : " (operator new not interposed: count not meaningful)");
    fewAllocations = fewAllocations && once.pluginAllocations[s] <= kMaxAllocationsPerPass * kComparingPasses;
  }
  Verdict(fewAllocations);

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("\npeak resident set of this process: %.1f MiB\n",
              static_cast<double>(usage.ru_maxrss) / 1024.0);
  std::printf("%s\n", missed == 0 ? "all targets met" : "some targets MISSED");
}

}  // namespace

}  // namespace bench

int main(int argc, char** argv) {
  // --profile: one all-passes run on the 8,000-object drawing and nothing
  // else, for a profiler (valgrind --tool=callgrind ... --profile).
  if (argc == 2 && std::strcmp(argv[1], "--profile") == 0) {
    auto host = bench::NewHostWithPlugin();
    for (const hostapp::Object& o : bench::MixedDrawing(8000)) host->Add(o);
    bench::RunOptions all;
    for (uint8_t& flag : all.flags) flag = 1;
    const bench::RunCost cost = bench::RunCommandOnce(*host, all);
    std::printf("all passes, 8000 objects: %.3f s, %llu host calls, %zu objects left\n",
                cost.seconds, static_cast<unsigned long long>(cost.hostCalls),
                host->ObjectCount());
    return cost.result == 0 ? 0 : 1;
  }
  // Repetitions of different benchmarks run interleaved at random, so a
  // burst of load from elsewhere spreads over all of them instead of
  // spoiling one side of a ratio. A flag on the command line overrides it.
  std::vector<char*> args(argv, argv + argc);
  static char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave);
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  if (benchmark::ReportUnrecognizedArguments(n, args.data())) return 1;

  const bench::OnceFigures once = bench::MeasureOnce();
  bench::RegisterHostLayerBenchmarks();
  bench::RegisterPassBenchmarks();
  bench::SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  bench::PrintSummary(reporter, once);
  return bench::missed == 0 ? 0 : 1;
}
