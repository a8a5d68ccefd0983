// drawclean's command line: its options, and its exit statuses.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "run.h"

namespace drawclean {

inline constexpr int kExitOk = 0;
inline constexpr int kExitRunFailed = 1;
inline constexpr int kExitBadInput = 2;

// Says what is wrong on standard error: exit status 2.
int BadInput(const std::string& what);

// The plug-in's own point tolerance when -t names none.
inline constexpr double kDefaultPointTolerance = 0.01;

struct CommandLine {
  std::vector<std::string> inputs;
  std::string output, reportPath, svgPath, callLogPath, pluginPath, outDir;
  std::optional<unsigned> jobs;
  bool oneLine = false;  // a batch worker: the report as one line
  std::array<std::optional<bool>, kOptionCount> flags{};
  bool all = false, dryRun = false, quiet = false, inPlace = false, showDialog = false, convertInPlace = true;
  bool verify = false;
  bool cutOnce = false;  // the passes a cutter needs, with near, edges and repeat
  std::array<bool, kExtraCount> extra{};
  bool blocks = true;    // user blocks cleaned as drawings of their own
  bool splines = false;  // SPLINEs read as polylines
  std::optional<double> pointTol, sizeTol;
};

struct PassOption {
  const char* name;
  const char* help;
};
// Option flags 0..8 in record order: --NAME and --no-NAME.
extern const PassOption kPassOptions[kOptionCount];

// What --cut-once stands for: degenerate objects, duplicates, overlaps, vertex
// clean-up and join with arcs, matching within the tolerance, along polyline
// edges, until nothing changes. Flags given on their own still win.
void ApplyCutOnce(CommandLine& c);

// Reads the arguments into `c`; an exit status when that is all there is to
// do (--help, --version, a bad option).
std::optional<int> ParseCommandLine(int argc, char** argv, CommandLine& c);

}  // namespace drawclean
