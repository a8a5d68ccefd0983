// The report after a run: objects per type before and after, and what each
// pass deleted, created and changed, as text and as JSON.
#pragma once

#include <string>
#include <vector>

#include <optional>

#include "coverage/coverage_check.h"
#include "coverage/doubled_length.h"
#include "dxf/drawing.h"
#include "passed_through.h"
#include "run.h"

namespace drawclean {

// One user block's run: its objects before and after, and what the passes
// did to them together.
struct BlockReport {
  std::string name;
  size_t before = 0, after = 0;
  size_t deleted = 0, created = 0, changed = 0;
  std::optional<bool> coveragePassed;  // with --verify
};
BlockReport BlockReportOf(const std::string& name, const RunResult& r);

struct ReportContext {
  std::string input, output;  // output "" on a dry run
  std::string format;         // "dxf" or "json"
  DxfWriteStats file;         // DXF only
  bool dxf = false;
  double readSeconds = 0, writeSeconds = 0;  // reading (and mapping) the file; building and writing the outputs
  // Entities no pass handles, which never became host objects (DXF only).
  std::vector<PassedKind> passedThrough;
  bool passedLeftOut = false;  // written as JSON, which holds none of them
  // The coverage check's findings, when --verify asked for it.
  std::optional<coverage::Report> coverage;
  double verifySeconds = 0;
  // User blocks, each cleaned as a drawing of its own (DXF only); none asked
  // for with --no-blocks.
  bool blocksCleaned = false;
  std::vector<BlockReport> blocks;
  // The length the run left drawn twice within the point tolerance.
  std::optional<coverage::Doubled> drawnTwice;
  double drawnTwiceSeconds = 0;
};

// "line", "arc", "polyline", ...: what an object of type code t is to a user.
std::string TypeName(int t);

// "60 polygon meshes, 89 texts, 1 hatch"; "none" when empty.
std::string PassedThroughText(const std::vector<PassedKind>& kinds);

// The coverage check's result in one line: passed, or how much was lost.
std::string CoverageLine(const coverage::Report& v);

std::string ReportText(const RunResult& r, const ReportContext& c);
std::string ReportJson(const RunResult& r, const ReportContext& c);
// One line for a batch run: objects before and after, what the passes did,
// what passed through.
std::string ReportLine(const RunResult& r, const ReportContext& c);

}  // namespace drawclean
