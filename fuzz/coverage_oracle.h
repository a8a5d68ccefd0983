// The coverage check as an oracle over one run of the command: where the host
// kept its side of the contract, nothing drawn before may be lost and nothing
// new drawn. Shared by the fuzz target and the tests that replay its inputs.
#pragma once

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "coverage/coverage_check.h"
#include "fuzz/run_audit.h"
#include "hostapp/host.h"
#include "hostapp/objects.h"

namespace runaudit {

// The check's rules for the run, or nothing when the run is not one where
// nothing lost must hold: a host fault was in force (a missing routine, a
// creation, conversion, class or block that failed), or the tolerances are
// no finite, non-negative world lengths. Booleans answered as 2 and
// conversions that replace handles are the host's right, not faults.
inline std::optional<coverage::Rules> CoverageRules(const hostapp::Host& host, const RunFacts& facts) {
  const hostapp::Host::Settings& s = host.settings;
  if (facts.missingRoutines > 0 || s.createLineFails || s.createPolylineFails || s.convertToPolylineFails ||
      s.convertToType5Fails || s.addClassFails || s.allocateFails)
    return std::nullopt;
  // The plug-in has the host convert both tolerances: the same product.
  const double point = facts.tolerance1 * s.worldScale, size = facts.tolerance2 * s.worldScale;
  if (!(std::isfinite(point) && point >= 0 && std::isfinite(size) && size >= 0)) return std::nullopt;
  coverage::Rules rules;
  rules.pointTolerance = point;
  rules.sizeTolerance = size;
  // A stopped run ran no pass, whatever the options said.
  if (facts.result == 0)
    for (int f = 0; f < kOptionFlags; ++f) rules.passes[size_t(f)] = facts.flags[f] != 0;
  return rules;
}

// One line per place lost or drawn anew, at most `limit` and then a count of
// the rest; empty when the check passed. `before` is the drawing as it stood
// before the run; objects the run left in the plug-in's marker class are not
// part of the drawing.
inline std::vector<std::string> CoverageProblems(const Snapshot& before, const hostapp::Host& host,
                                                 const coverage::Rules& rules, size_t limit = 20) {
  std::vector<hostapp::Object> was, now;
  for (const auto& entry : before) was.push_back(entry.second);
  std::vector<ObjectHandle> nowHandles;
  const auto marker = host.FindClass(hostapp::ResourceText(11003, 11));
  for (ObjectHandle h : host.Objects()) {
    if (marker && host.Get(h).cls == *marker) continue;
    now.push_back(host.Get(h));
    nowHandles.push_back(h);
  }
  const coverage::Report report = coverage::CheckCoverage(was, now, rules);
  std::vector<std::string> lines;
  const auto add = [&](const std::string& line) {
    if (lines.size() < limit) lines.push_back(line);
  };
  for (const coverage::Stretch& s : report.missing)
    add("lost " + coverage::Describe(s) + " of object " + std::to_string(before[s.object].first) + " (type " +
        std::to_string(was[s.object].type) + ")");
  for (const coverage::Stretch& s : report.added)
    add("drawn anew " + coverage::Describe(s) + " by object " + std::to_string(nowHandles[s.object]) + " (type " +
        std::to_string(now[s.object].type) + ")");
  const size_t places = report.missing.size() + report.added.size();
  if (places > lines.size()) lines.push_back("... and " + std::to_string(places - lines.size()) + " more places");
  return lines;
}

}  // namespace runaudit
