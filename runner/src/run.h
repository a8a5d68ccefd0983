// Running the plug-in over a drawing in the project's host, as a real host
// would: action 1, action 3 with the options dialog answered by events,
// action 2. Records what each pass did for the report.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "hostapp/host.h"

namespace drawclean {

inline constexpr size_t kOptionCount = 9;

struct RunOptions {
  // Wanted state of option flags 0..8; nullopt keeps the record's value.
  std::array<std::optional<bool>, kOptionCount> flags{};
  std::optional<double> pointTolerance;  // tolerance 1
  std::optional<double> sizeTolerance;   // tolerance 2
  bool convertInPlace = true;
  bool progress = false;  // pass progress on standard error
  bool keepDialog = false;  // render the dialog as the host showed it
  std::FILE* callLog = nullptr;  // where the host streams its call log; none when null
};

struct PassStats {
  std::string name;
  int flag = -1;  // option flag of the pass; -1 for the final sweep
  size_t deleted = 0, created = 0, changed = 0;
  double seconds = 0;
};

struct RunResult {
  bool loaded = false;
  std::string error;       // plug-in could not be loaded
  int32_t result = -1;     // action 3's answer
  std::array<bool, kOptionCount> flagsUsed{};
  double pointTolerance = 0, sizeTolerance = 0;
  std::vector<std::string> ignoredDialogEvents;
  std::string dialogText;  // with keepDialog
  std::vector<PassStats> passes;
  std::map<int, size_t> before, after;  // objects per type code
  std::vector<std::string> violations;
  double seconds = 0;
};

// Name of the pass behind option flag n ("" for flag 7, which has none).
const char* PassName(size_t flag);

// The progress line: "pass 3 of 8, duplicates: 12,500 of 250,000 objects";
// a step past the passes (the final sweep) goes by its name alone.
std::string ProgressLine(size_t step, size_t steps, const char* name, size_t visited, size_t total);

std::map<int, size_t> CountByType(const hostapp::Host& host);

RunResult RunPlugin(hostapp::Host& host, const std::string& pluginPath, const RunOptions& options);

// The marker class's name as the host's resources give it.
std::string MarkerClassName();

}  // namespace drawclean
