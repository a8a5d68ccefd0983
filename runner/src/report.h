// The report after a run: objects per type before and after, and what each
// pass deleted, created and changed, as text and as JSON.
#pragma once

#include <string>

#include "dxf_map.h"
#include "run.h"

namespace drawclean {

struct ReportContext {
  std::string input, output;  // output "" on a dry run
  std::string format;         // "dxf" or "json"
  DxfWriteStats file;         // DXF only
  bool dxf = false;
  double readSeconds = 0, writeSeconds = 0;  // reading (and mapping) the file; building and writing the outputs
};

std::string ReportText(const RunResult& r, const ReportContext& c);
std::string ReportJson(const RunResult& r, const ReportContext& c);

}  // namespace drawclean
