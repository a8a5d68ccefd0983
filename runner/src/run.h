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
// Options beyond the nine flags, in the record's order: near, edges, repeat,
// then ignoring layer, colour, lineweight, linetype.
inline constexpr size_t kExtraCount = 7;
enum ExtraOption : size_t { kNear, kEdges, kRepeat, kIgnoreLayer, kIgnoreColour, kIgnoreLineweight, kIgnoreLinetype };

struct RunOptions {
  // Wanted state of option flags 0..8; nullopt keeps the record's value.
  std::array<std::optional<bool>, kOptionCount> flags{};
  std::optional<double> pointTolerance;  // tolerance 1
  std::optional<double> sizeTolerance;   // tolerance 2
  // Wanted options beyond the flags. With none on the record is left without
  // their block, so the plug-in runs exactly as it would in a host without them.
  std::array<bool, kExtraCount> extra{};
  bool convertInPlace = true;
  bool progress = false;  // pass progress on standard error
  bool keepDialog = false;  // render the dialog as the host showed it
  std::FILE* callLog = nullptr;  // where the host streams its call log; none when null
};

struct PassStats {
  std::string name;
  int flag = -1;  // option flag of the pass; -1 for the final sweep
  int round = 1;  // with repeat, the round the pass ran in
  size_t deleted = 0, created = 0, changed = 0;
  double seconds = 0;
};

struct RunResult {
  bool loaded = false;
  std::string error;       // plug-in could not be loaded
  int32_t result = -1;     // action 3's answer
  std::array<bool, kOptionCount> flagsUsed{};
  std::array<bool, kExtraCount> extraUsed{};
  int rounds = 1;  // rounds of passes the plug-in ran
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
// "near", "edges", "repeat", "layer", "colour", "lineweight", "linetype".
const char* ExtraName(size_t k);

// The progress line: "pass 3 of 8, duplicates: 12,500 of 250,000 objects";
// a step past the passes (the final sweep) goes by its name alone.
std::string ProgressLine(size_t step, size_t steps, const char* name, size_t visited, size_t total);

std::map<int, size_t> CountByType(const hostapp::Host& host);

RunResult RunPlugin(hostapp::Host& host, const std::string& pluginPath, const RunOptions& options);

// The marker class's name as the host's resources give it.
std::string MarkerClassName();

}  // namespace drawclean
