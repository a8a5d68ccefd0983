#include "verify.h"

namespace drawclean {

std::vector<hostapp::Object> DrawnObjects(const hostapp::Host& host, const std::string& marker,
                                          std::vector<ObjectHandle>* handles) {
  std::vector<hostapp::Object> out;
  const auto markerId = host.FindClass(marker);
  for (ObjectHandle h : host.Objects()) {
    const hostapp::Object& o = host.Get(h);
    if (markerId && o.cls == *markerId) continue;
    out.push_back(o);
    if (handles) handles->push_back(h);
  }
  return out;
}

coverage::Report VerifyRun(const std::vector<hostapp::Object>& before, const hostapp::Host& host,
                           const std::string& marker, const RunResult& r, std::vector<ObjectHandle>* afterHandles) {
  coverage::Rules rules;
  // The plug-in converts both tolerances to world units through the host.
  rules.pointTolerance = r.pointTolerance * host.settings.worldScale;
  rules.sizeTolerance = r.sizeTolerance * host.settings.worldScale;
  for (size_t n = 0; n < rules.passes.size() && n < r.flagsUsed.size(); ++n) rules.passes[n] = r.flagsUsed[n];
  return coverage::CheckCoverage(before, DrawnObjects(host, marker, afterHandles), rules);
}

std::vector<std::string> VerifyFailureLines(const coverage::Report& report,
                                            const std::function<std::string(size_t)>& placeOfBefore,
                                            const std::function<std::string(size_t)>& placeOfAfter, size_t limit) {
  std::vector<std::string> lines;
  const size_t places = report.missing.size() + report.added.size();
  for (const coverage::Stretch& s : report.missing) {
    if (lines.size() == limit) break;
    lines.push_back("lost " + coverage::Describe(s) + " of " + placeOfBefore(s.object));
  }
  for (const coverage::Stretch& s : report.added) {
    if (lines.size() == limit) break;
    lines.push_back("drawn anew " + coverage::Describe(s) + " by " + placeOfAfter(s.object));
  }
  if (places > lines.size()) lines.push_back("... and " + std::to_string(places - lines.size()) + " more places");
  return lines;
}

}  // namespace drawclean
