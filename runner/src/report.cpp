#include "report.h"

#include <cstdio>
#include <set>

#include <nlohmann/json.hpp>

#include "cleanup/host_abi.h"
#include "doubled.h"
#include "shown.h"

namespace drawclean {
namespace {

size_t Total(const std::map<int, size_t>& m) {
  size_t n = 0;
  for (auto& [t, c] : m) n += c;
  return n;
}

size_t PassedTotal(const std::vector<PassedKind>& kinds) {
  size_t n = 0;
  for (const PassedKind& k : kinds) n += k.count;
  return n;
}

BlockReport BlocksTotal(const std::vector<BlockReport>& blocks) {
  BlockReport t;
  t.name = "total";
  for (const BlockReport& b : blocks) {
    t.before += b.before, t.after += b.after;
    t.deleted += b.deleted, t.created += b.created, t.changed += b.changed;
  }
  return t;
}

}  // namespace

BlockReport BlockReportOf(const std::string& name, const RunResult& r) {
  BlockReport b;
  b.name = name;
  b.before = Total(r.before);
  b.after = Total(r.after);
  for (const PassStats& p : r.passes) b.deleted += p.deleted, b.created += p.created, b.changed += p.changed;
  return b;
}

std::string TypeName(int t) {
  switch (t) {
    case kLineType: return "line";
    case kVertexListType: return "polyline";
    case kCurvedVertexListType: return "polyline with arcs";
    case kVertexList3DType: return "3D polyline";
    case kArcType: return "arc";
    case kPoint3DType: return "3D point";
    case kFourPoints3DType: return "3D face";
    case kPointType: return "point";
    default: return "type " + std::to_string(t);
  }
}

std::string PassedThroughText(const std::vector<PassedKind>& kinds) {
  if (kinds.empty()) return "none";
  std::string out;
  for (const PassedKind& k : kinds)
    out += (out.empty() ? "" : ", ") + std::to_string(k.count) + " " + (k.count == 1 ? k.one : k.many);
  return out;
}

std::string ReportLine(const RunResult& r, const ReportContext& c) {
  size_t deleted = 0, created = 0, changed = 0;
  for (const PassStats& p : r.passes) deleted += p.deleted, created += p.created, changed += p.changed;
  char line[256];
  std::snprintf(line, sizeof line, ": %zu -> %zu objects (%zu deleted, %zu created, %zu changed)", Total(r.before),
                Total(r.after), deleted, created, changed);
  std::string out = c.input + (c.output.empty() ? "" : " -> " + c.output) + line;
  if (!c.passedThrough.empty())
    out += std::string(c.passedLeftOut ? "; left out: " : "; passed through: ") + PassedThroughText(c.passedThrough);
  if (!c.blocks.empty()) {
    const BlockReport t = BlocksTotal(c.blocks);
    std::snprintf(line, sizeof line, "; %zu blocks: %zu -> %zu objects", c.blocks.size(), t.before, t.after);
    out += line;
  }
  std::snprintf(line, sizeof line, "; %.2f s", c.readSeconds + r.seconds + c.writeSeconds);
  return out + line;
}

std::string CoverageLine(const coverage::Report& v) {
  char line[256];
  if (v.Passed()) {
    std::snprintf(line, sizeof line,
                  "coverage check: passed: everything drawn before is still drawn, within the point tolerance "
                  "(%zu objects checked, %zu exempt)",
                  v.objectsChecked, v.objectsExempt);
  } else {
    std::snprintf(line, sizeof line, "coverage check: FAILED: %.6g lost in %zu places, %.6g drawn anew in %zu places",
                  v.missingLength, v.missing.size(), v.addedLength, v.added.size());
  }
  return line;
}

std::string ReportText(const RunResult& r, const ReportContext& c) {
  std::string out;
  char line[256];
  out += "drawclean: " + c.input + (c.output.empty() ? " (dry run)" : " -> " + c.output) + "\n";
  out += "passes:";
  bool any = false;
  for (size_t n = 0; n < kOptionCount; ++n)
    if (r.flagsUsed[n] && n != 7) out += std::string(any ? ", " : " ") + PassName(n), any = true;
  if (r.flagsUsed[7] && r.flagsUsed[6]) out += " (with arcs)";
  if (!any) out += " none";
  std::string extra;
  for (size_t k : {kNear, kEdges, kRepeat})
    if (r.extraUsed[k]) extra += std::string(extra.empty() ? "" : ", ") + ExtraName(k);
  if (r.extraUsed[kRepeat]) extra += " (" + std::to_string(r.rounds) + (r.rounds == 1 ? " round)" : " rounds)");
  for (size_t k = kIgnoreLayer; k < kExtraCount; ++k)
    if (r.extraUsed[k]) extra += std::string(extra.empty() ? "" : ", ") + "ignoring " + ExtraName(k);
  if (!extra.empty()) out += "\nalso: " + extra;
  std::snprintf(line, sizeof line, "\ntolerances: point %.15g, size %.15g\n\n", r.pointTolerance, r.sizeTolerance);
  out += line;
  std::snprintf(line, sizeof line, "%-22s %8s %8s\n", "objects", "before", "after");
  out += line;
  std::set<int> types;
  for (auto& [t, n] : r.before) types.insert(t);
  for (auto& [t, n] : r.after) types.insert(t);
  for (int t : types) {
    auto b = r.before.find(t), a = r.after.find(t);
    std::snprintf(line, sizeof line, "%-22s %8zu %8zu\n", (TypeName(t) + " (" + std::to_string(t) + ")").c_str(),
                  b == r.before.end() ? 0 : b->second, a == r.after.end() ? 0 : a->second);
    out += line;
  }
  std::snprintf(line, sizeof line, "%-22s %8zu %8zu\n", "total", Total(r.before), Total(r.after));
  out += line;
  if (c.dxf || !c.passedThrough.empty())
    out += std::string(c.passedLeftOut ? "left out of the JSON output (no pass handles them, no JSON form holds them): "
                                       : "passed through unchanged (no pass handles them): ") +
           PassedThroughText(c.passedThrough) + "\n";
  out += "\n";
  std::snprintf(line, sizeof line, "%-22s %8s %8s %8s %10s\n", "pass", "deleted", "created", "changed", "seconds");
  out += line;
  for (const PassStats& p : r.passes) {
    const std::string name = r.rounds > 1 && p.flag >= 0 ? std::to_string(p.round) + ": " + p.name : p.name;
    std::snprintf(line, sizeof line, "%-22s %8zu %8zu %8zu %10.4f\n", name.c_str(), p.deleted, p.created,
                  p.changed, p.seconds);
    out += line;
  }
  if (c.blocksCleaned) {
    std::snprintf(line, sizeof line, "\nuser blocks, each cleaned as a drawing of its own: %zu\n", c.blocks.size());
    out += line;
    if (!c.blocks.empty()) {
      std::snprintf(line, sizeof line, "%-22s %8s %8s %8s %8s %8s\n", "block", "before", "after", "deleted",
                    "created", "changed");
      out += line;
      std::vector<BlockReport> rows = c.blocks;
      rows.push_back(BlocksTotal(c.blocks));
      for (const BlockReport& b : rows) {
        std::snprintf(line, sizeof line, "%-22s %8zu %8zu %8zu %8zu %8zu\n", Shown(b.name, 22).c_str(), b.before,
                      b.after, b.deleted, b.created, b.changed);
        out += line;
      }
    }
  }
  if (c.dxf && !c.output.empty()) {
    std::snprintf(line, sizeof line,
                  "\nDXF entities: %zu unchanged, %zu changed, %zu new, %zu removed, %zu not writable\n",
                  c.file.unchanged, c.file.changed, c.file.created, c.file.removed, c.file.skipped);
    out += line;
  }
  std::snprintf(line, sizeof line, "\ntime: read %.3f s, passes %.3f s, write %.3f s\n", c.readSeconds, r.seconds,
                c.writeSeconds);
  out += line;
  if (c.drawnTwice) out += "\n" + DrawnTwiceLine(*c.drawnTwice) + "\n";
  if (c.coverage) out += "\n" + CoverageLine(*c.coverage) + "\n";
  for (const std::string& v : r.violations) out += "host contract violation: " + v + "\n";
  return out;
}

std::string ReportJson(const RunResult& r, const ReportContext& c) {
  using nlohmann::json;
  json j;
  j["input"] = c.input;
  j["output"] = c.output.empty() ? json(nullptr) : json(c.output);
  j["format"] = c.format;
  j["result"] = r.result;
  json flags = json::array();
  for (bool f : r.flagsUsed) flags.push_back(f);
  json ignored = json::array();
  for (size_t k = kIgnoreLayer; k < kExtraCount; ++k)
    if (r.extraUsed[k]) ignored.push_back(ExtraName(k));
  j["options"] = {{"flags", flags},
                  {"pointTolerance", r.pointTolerance},
                  {"sizeTolerance", r.sizeTolerance},
                  {"near", r.extraUsed[kNear]},
                  {"edges", r.extraUsed[kEdges]},
                  {"repeat", r.extraUsed[kRepeat]},
                  {"ignore", ignored}};
  j["rounds"] = r.rounds;
  auto counts = [](const std::map<int, size_t>& m) {
    json o = json::object();
    for (auto& [t, n] : m) o[std::to_string(t)] = n;
    return o;
  };
  j["objectsBefore"] = counts(r.before);
  j["objectsAfter"] = counts(r.after);
  j["totalBefore"] = Total(r.before);
  j["totalAfter"] = Total(r.after);
  json passes = json::array();
  for (const PassStats& p : r.passes)
    passes.push_back({{"name", p.name}, {"flag", p.flag}, {"round", p.round}, {"deleted", p.deleted},
                      {"created", p.created}, {"changed", p.changed}, {"seconds", p.seconds}});
  j["passes"] = passes;
  json kinds = json::object();
  for (const PassedKind& k : c.passedThrough) kinds[k.many] = k.count;
  j["passedThrough"] = {{"total", PassedTotal(c.passedThrough)}, {"byKind", kinds}, {"leftOut", c.passedLeftOut}};
  if (c.dxf && !c.output.empty())
    j["dxfEntities"] = {{"unchanged", c.file.unchanged}, {"changed", c.file.changed}, {"created", c.file.created},
                        {"removed", c.file.removed}, {"notWritable", c.file.skipped}};
  if (c.dxf) {
    auto counts = [](const BlockReport& b) {
      json o = {{"name", b.name},       {"objectsBefore", b.before}, {"objectsAfter", b.after},
                {"deleted", b.deleted}, {"created", b.created},      {"changed", b.changed}};
      if (b.coveragePassed) o["coveragePassed"] = *b.coveragePassed;
      return o;
    };
    json byBlock = json::array();
    for (const BlockReport& b : c.blocks) byBlock.push_back(counts(b));
    json total = counts(BlocksTotal(c.blocks));
    total.erase("name");
    j["blocks"] = {{"cleaned", c.blocksCleaned}, {"count", c.blocks.size()}, {"total", total}, {"byBlock", byBlock}};
  }
  j["violations"] = r.violations;
  j["seconds"] = r.seconds;
  j["timing"] = {{"read", c.readSeconds}, {"passes", r.seconds}, {"write", c.writeSeconds}};
  if (c.coverage) {
    const coverage::Report& v = *c.coverage;
    j["coverage"] = {{"passed", v.Passed()},        {"objectsChecked", v.objectsChecked},
                     {"objectsExempt", v.objectsExempt}, {"missingPlaces", v.missing.size()},
                     {"missingLength", v.missingLength}, {"addedPlaces", v.added.size()},
                     {"addedLength", v.addedLength}, {"seconds", c.verifySeconds}};
  }
  if (c.drawnTwice)
    j["drawnTwice"] = {{"length", c.drawnTwice->length}, {"stretches", c.drawnTwice->stretches.size()},
                       {"complete", c.drawnTwice->complete}, {"seconds", c.drawnTwiceSeconds}};
  // Names come from the file (block names, the path) and need not be UTF-8:
  // a byte that is not is shown as U+FFFD rather than losing the report.
  return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace drawclean
