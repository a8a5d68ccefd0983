// What the benchmark files share: a host with the real plug-in loaded, and
// the table of measured times that the closing summary turns into ratios.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "hostapp/host.h"

namespace bench {

// A fresh host, call log off, with libcleanup.so loaded; aborts the
// benchmark run (not a host call) when the library cannot be loaded.
std::unique_ptr<hostapp::Host> NewHostWithPlugin();

// Option bytes of one run: flags 0..8 and the two tolerances.
struct RunOptions {
  uint8_t flags[9] = {};
  double tolerance1 = 0.01, tolerance2 = 0.0001;
  bool keepDefaults = false;  // leave the record as the plug-in filled it
};

// Actions 1, 3 and 2 on the host's drawing; the seconds action 3 took and
// the host calls it made.
struct RunCost {
  double seconds = 0;
  uint64_t hostCalls = 0;
  int32_t result = 0;
};
RunCost RunCommandOnce(hostapp::Host& host, const RunOptions& options);

// The plug-in's dlopen handle (already loaded by a host), or nullptr.
void* PluginLibrary();

// Registration of every benchmark; called once by main.
void RegisterHostLayerBenchmarks();
void RegisterPassBenchmarks();

// Pass benchmark names, for the scaling summary: name and whether it
// compares objects with others (quadratic walk) or is linear.
struct PassCase {
  const char* name;
  int flag;  // option flag switched on alone; -1: default run; -2: all passes
  bool comparing;
};
extern const PassCase kPassCases[];
extern const size_t kPassCaseCount;
extern const int64_t kDrawingSizes[];
extern const size_t kDrawingSizeCount;

}  // namespace bench
