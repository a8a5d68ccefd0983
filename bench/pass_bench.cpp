// Each pass alone, the default run and the all-passes run on generated
// drawings of 1,000 to 8,000 objects, through the real plug-in.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench_common.h"
#include "drawing_gen.h"

namespace bench {

const PassCase kPassCases[] = {
    {"flatten", 0, false},     {"degenerate", 1, false}, {"type17", 2, false},
    {"duplicates", 3, true},   {"merge", 4, true},       {"vertex_cleanup", 5, false},
    {"join", 6, true},         {"join_arcs", 7, true},   {"reduce_vertices", 8, false},
    {"default_run", -1, false}, {"all_passes", -2, true},
};
const size_t kPassCaseCount = sizeof kPassCases / sizeof kPassCases[0];
const int64_t kDrawingSizes[] = {1000, 2000, 4000, 8000};
const size_t kDrawingSizeCount = sizeof kDrawingSizes / sizeof kDrawingSizes[0];

namespace {

RunOptions OptionsOf(const PassCase& c) {
  RunOptions o;
  if (c.flag == -1) {
    o.keepDefaults = true;
  } else if (c.flag == -2) {
    for (uint8_t& f : o.flags) f = 1;
  } else if (c.flag == 7) {
    o.flags[6] = o.flags[7] = 1;  // flag 7 only widens the join pass
  } else {
    o.flags[c.flag] = 1;
  }
  return o;
}

void RunPassCase(benchmark::State& state, const PassCase* c) {
  const size_t n = static_cast<size_t>(state.range(0));
  const std::vector<hostapp::Object> drawing = MixedDrawing(n);
  const RunOptions options = OptionsOf(*c);
  uint64_t calls = 0;
  double seconds = 0;
  double best = 0;
  size_t left = 0;
  for (auto _ : state) {
    // A fresh drawing each time: the run changes it.
    auto host = NewHostWithPlugin();
    for (const hostapp::Object& o : drawing) host->Add(o);
    const RunCost cost = RunCommandOnce(*host, options);
    if (cost.result != 0) {
      state.SkipWithError("the command did not run its passes");
      break;
    }
    state.SetIterationTime(cost.seconds);
    seconds += cost.seconds;
    if (best == 0 || cost.seconds < best) best = cost.seconds;
    calls += cost.hostCalls;
    left = host->ObjectCount();
  }
  const double iterations = static_cast<double>(state.iterations());
  if (iterations == 0 || calls == 0) return;
  state.counters["calls_per_obj"] = static_cast<double>(calls) / iterations / static_cast<double>(n);
  state.counters["ns_per_call"] = seconds * 1e9 / static_cast<double>(calls);
  // The fastest run: what the code costs when nothing else got in the way.
  state.counters["best_ms"] = best * 1e3;
  state.counters["objects_left"] = static_cast<double>(left);
}

// The cost of one run on a fresh copy of the drawing.
double RunSeconds(const std::vector<hostapp::Object>& drawing, const RunOptions& options) {
  auto host = NewHostWithPlugin();
  for (const hostapp::Object& o : drawing) host->Add(o);
  return RunCommandOnce(*host, options).seconds;
}

// Runs on n and 2n objects taken in turns, so both sides of the ratio see
// the same load from the rest of the machine; the fastest run of each side
// gives the ratio.
void RunScalingCase(benchmark::State& state, const PassCase* c) {
  const size_t n = static_cast<size_t>(state.range(0));
  const std::vector<hostapp::Object> small = MixedDrawing(n);
  const std::vector<hostapp::Object> large = MixedDrawing(2 * n);
  const RunOptions options = OptionsOf(*c);
  double bestSmall = 0, bestLarge = 0;
  bool largeFirst = false;
  for (auto _ : state) {
    double s = 0, l = 0;
    if (largeFirst) {
      l = RunSeconds(large, options);
      s = RunSeconds(small, options);
    } else {
      s = RunSeconds(small, options);
      l = RunSeconds(large, options);
    }
    largeFirst = !largeFirst;
    if (bestSmall == 0 || s < bestSmall) bestSmall = s;
    if (bestLarge == 0 || l < bestLarge) bestLarge = l;
    state.SetIterationTime(s + l);
  }
  if (bestSmall > 0) state.counters["ratio"] = bestLarge / bestSmall;
}

}  // namespace

void RegisterPassBenchmarks() {
  for (size_t i = 0; i < kPassCaseCount; ++i) {
    const PassCase& c = kPassCases[i];
    auto* b = benchmark::RegisterBenchmark((std::string("scaling/") + c.name).c_str(),
                                           RunScalingCase, &c);
    for (size_t s = 0; s + 1 < kDrawingSizeCount; ++s) b->Arg(kDrawingSizes[s]);
    b->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(c.comparing ? 1.0 : 0.3);
  }
  for (size_t i = 0; i < kPassCaseCount; ++i) {
    const PassCase& c = kPassCases[i];
    auto* b = benchmark::RegisterBenchmark((std::string("pass/") + c.name).c_str(), RunPassCase, &c);
    for (size_t s = 0; s < kDrawingSizeCount; ++s) b->Arg(kDrawingSizes[s]);
    // The linear cases take well under a millisecond, where a busy machine
    // shows most: more repetitions for them. The quadratic cases at 8,000
    // objects take long enough that a few are plenty.
    b->UseManualTime()->Unit(benchmark::kMillisecond)->DisplayAggregatesOnly(true);
    b->Repetitions(c.comparing ? 3 : 5)->MinTime(0.2);
  }
}

}  // namespace bench
