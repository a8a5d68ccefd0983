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
    calls += cost.hostCalls;
    left = host->ObjectCount();
  }
  const double iterations = static_cast<double>(state.iterations());
  if (iterations == 0 || calls == 0) return;
  state.counters["calls_per_obj"] = static_cast<double>(calls) / iterations / static_cast<double>(n);
  state.counters["ns_per_call"] = seconds * 1e9 / static_cast<double>(calls);
  state.counters["objects_left"] = static_cast<double>(left);
}

}  // namespace

void RegisterPassBenchmarks() {
  for (size_t i = 0; i < kPassCaseCount; ++i) {
    const PassCase& c = kPassCases[i];
    auto* b = benchmark::RegisterBenchmark((std::string("pass/") + c.name).c_str(), RunPassCase, &c);
    for (size_t s = 0; s < kDrawingSizeCount; ++s) b->Arg(kDrawingSizes[s]);
    b->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(3)->DisplayAggregatesOnly(true);
    // The quadratic cases at 8,000 objects take long enough that a few
    // iterations are plenty.
    b->MinTime(c.comparing ? 0.2 : 0.1);
  }
}

}  // namespace bench
