#include "run.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <algorithm>

#include "failure.h"
#include "hostapp/dialog_engine.h"
#include "hostapp/object_compare.h"

namespace drawclean {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kFirstFlagItem = 3;  // check box of option flag n is item 3 + n
constexpr int32_t kPointToleranceItem = 13;
constexpr int32_t kSizeToleranceItem = 14;
constexpr size_t kTolerance1Offset = 10, kTolerance2Offset = 18;
constexpr int16_t kMarkerListId = 11003, kMarkerIndex = 11;

// Gives the record the block of options beyond the flags, all off: the
// dialog then shows their boxes, which the script clicks like the others.
void OfferExtraOptions(uint8_t* record) { TagExtraBlock(record); }
// Progress is worth a line only when a pass takes visible time.
constexpr size_t kProgressMinObjects = 2000;
constexpr size_t kProgressEvery = 500;

// The live drawing between passes: each object's digest by handle, 0 where
// there is none. Digests, not copies: a pass boundary of a large drawing
// then costs one read of it and no allocation per object.
using Snapshot = std::vector<uint64_t>;

// Objects in the marker class are gone as far as the user is concerned: they
// count as deleted by the pass that marked them, not by the final sweep.
Snapshot Take(const hostapp::Host& host, const std::string& marker) {
  const auto markerId = host.FindClass(marker);
  Snapshot s;
  host.ForEachLive([&](ObjectHandle h, const hostapp::Object& o) {
    if (markerId && o.cls == *markerId) return;
    if (h >= s.size()) s.resize(size_t{h} + 1 + s.size() / 2, 0);
    s[h] = ObjectDigest(o);
  });
  return s;
}

void Diff(const Snapshot& was, const Snapshot& now, PassStats& p) {
  for (size_t h = 0; h < std::max(was.size(), now.size()); ++h) {
    const uint64_t a = h < was.size() ? was[h] : 0, b = h < now.size() ? now[h] : 0;
    if (a != 0 && b == 0) ++p.deleted;
    else if (a == 0 && b != 0) ++p.created;
    else if (a != b) ++p.changed;
  }
}

// Progress: the runner stands between the plug-in and the host's traversal
// so it can count visited objects without the host knowing.
struct Progress {
  hostapp::Host* host = nullptr;
  TraversalCallback inner = nullptr;
  const char* name = "";  // set at each pass boundary
  size_t step = 0, steps = 0;
  size_t visited = 0, total = 0;
  size_t shown = 0;  // width of the line last written, to blank it
};
Progress gProgress;

void CountingCallback(ObjectHandle o, CallbackPtr cbp) {
  Progress& p = gProgress;
  ++p.visited;
  if (p.total >= kProgressMinObjects && p.visited % kProgressEvery == 0) {
    const std::string line = ProgressLine(p.step, p.steps, p.name, p.visited, p.total);
    std::fprintf(stderr, "\r%s", line.c_str());
    p.shown = std::max(p.shown, line.size());
  }
  p.inner(o, cbp);
}

void CountingForEach(int16_t code, TraversalCallback callback, int32_t env, CallbackPtr cbp) {
  auto real = reinterpret_cast<ForEachObjectFn>(hostapp::Dispatch(kSelForEachObject));
  if (real == nullptr) return;
  Progress saved = gProgress;
  gProgress.inner = callback;
  gProgress.visited = 0;
  gProgress.total = gProgress.host ? gProgress.host->ObjectCount() : 0;
  real(code, &CountingCallback, env, cbp);
  if (gProgress.shown > 0) std::fprintf(stderr, "\r%*s\r", int(gProgress.shown), "");
  gProgress.shown = 0;
  gProgress.inner = saved.inner;
}

void* ProgressDispatch(int32_t selector) {
  if (selector == kSelForEachObject) return reinterpret_cast<void*>(&CountingForEach);
  return hostapp::Dispatch(selector);
}

}  // namespace

std::string ProgressLine(size_t step, size_t steps, const char* name, size_t visited, size_t total) {
  std::string line = "pass " + std::to_string(step) + " of " + std::to_string(steps) + ", " + name + ": ";
  if (steps == 0 || step > steps) line = std::string(name) + ": ";
  return line + Grouped(visited) + " of " + Grouped(total) + " objects";
}

const char* ExtraName(size_t k) {
  static const char* const kNames[kExtraCount] = {"near",   "edges",      "repeat",  "layer",
                                                  "colour", "lineweight", "linetype"};
  return k < kExtraCount ? kNames[k] : "";
}

const char* PassName(size_t flag) {
  static const char* const kNames[kOptionCount] = {
      "flatten 3D",        "degenerate objects", "point markers",
      "duplicates",        "overlaps",           "vertex clean-up",
      "join",              "",                   "vertex reduction"};
  return flag < kOptionCount ? kNames[flag] : "";
}

std::map<int, size_t> CountByType(const hostapp::Host& host) {
  std::map<int, size_t> m;
  for (ObjectHandle h : host.Objects()) ++m[host.Get(h).type];
  return m;
}

std::string MarkerClassName() {
  const char* t = hostapp::ResourceText(kMarkerListId, kMarkerIndex);
  return t ? t : "";
}

RunResult RunPlugin(hostapp::Host& host, const std::string& pluginPath, const RunOptions& options) {
  RunResult r;
  const auto start = Clock::now();
  host.Activate();
  host.settings.convertInPlace = options.convertInPlace;
  r.before = CountByType(host);
  if (!host.LoadPlugin(pluginPath, &r.error)) return r;
  r.loaded = true;
  // The log of a real drawing runs to millions of calls: never held, only
  // streamed when asked for.
  host.settings.logCalls = false;
  host.StreamCallsTo(options.callLog);
  host.SendAction(kActionSetUp);
  uint8_t* record = host.SettingsBlock();
  const bool anyExtra = std::find(options.extra.begin(), options.extra.end(), true) != options.extra.end();
  if (record && anyExtra) OfferExtraOptions(record);

  // The dialog opens with the record's options: click only the boxes whose
  // state must change, in item order, so a box that enables another comes first.
  hostapp::DialogScript script;
  for (size_t n = 0; n < kOptionCount; ++n) {
    const bool now = record && record[n] != 0;
    if (options.flags[n] && *options.flags[n] != now)
      script.events.push_back(hostapp::Click(kFirstFlagItem + int32_t(n), *options.flags[n]));
  }
  for (size_t k = 0; k < kExtraCount; ++k)
    if (record && anyExtra && options.extra[k])
      script.events.push_back(hostapp::Click(kExtraFirstItem + int32_t(k), true));
  if (options.pointTolerance)
    script.events.push_back(hostapp::TypeText(kPointToleranceItem, hostapp::FieldTextOf(*options.pointTolerance)));
  if (options.sizeTolerance)
    script.events.push_back(hostapp::TypeText(kSizeToleranceItem, hostapp::FieldTextOf(*options.sizeTolerance)));
  script.closeWith = kDialogItemAccept;
  hostapp::QueueDialogScript(script);

  // Pass boundaries: each traversal starts a pass, the last one is the
  // sweep. Only the drawing as the last pass left it is kept, so the
  // runner's own memory stays one copy of the drawing however many passes run.
  Snapshot last;
  Clock::time_point lastTime{};
  std::vector<PassStats> boundaries;
  const std::string marker = MarkerClassName();
  // The dialog is answered by the first traversal: the record then says
  // which passes run, so progress can name each one.
  std::vector<int> passOrder;
  bool orderKnown = false;
  auto boundary = [&] {
    if (!orderKnown) {
      orderKnown = true;
      if (const uint8_t* rec = host.SettingsBlock())
        for (size_t n = 0; n < kOptionCount; ++n)
          if (n != 7 && rec[n] != 0) passOrder.push_back(int(n));
    }
    // With repeat, each round is the passes and then a sweep.
    const size_t k = (boundaries.size() + (lastTime != Clock::time_point{} ? 1 : 0)) % (passOrder.size() + 1);
    gProgress.step = k + 1;
    gProgress.steps = passOrder.size();
    gProgress.name = k < passOrder.size() ? PassName(size_t(passOrder[k])) : "sweep";
    Snapshot now = Take(host, marker);
    const auto t = Clock::now();
    if (lastTime != Clock::time_point{}) {
      PassStats p;
      Diff(last, now, p);
      p.seconds = std::chrono::duration<double>(t - lastTime).count();
      boundaries.push_back(p);
    }
    last = std::move(now);
    lastTime = t;
  };
  host.SetHook(kSelForEachObject, boundary);
  host.SetHook(kSelFinishObjectChanges, boundary);

  if (options.progress) {
    gProgress = Progress{&host};
    *host.Cbp() = &ProgressDispatch;
  }
  r.result = host.SendAction(kActionRun);
  *host.Cbp() = &hostapp::Dispatch;
  host.SetHook(kSelForEachObject, nullptr);
  host.SetHook(kSelFinishObjectChanges, nullptr);

  if (const hostapp::DialogRecord* d = hostapp::LastDialog()) {
    r.ignoredDialogEvents = d->ignoredEvents;
    if (options.keepDialog) r.dialogText = hostapp::RenderDialog(*d);
  }
  record = host.SettingsBlock();
  if (record) {
    for (size_t n = 0; n < kOptionCount; ++n) r.flagsUsed[n] = record[n] != 0;
    if (ExtraBlockTagged(record))
      for (size_t k = 0; k < kExtraCount; ++k) r.extraUsed[k] = record[kExtraNear + k] != 0;
    std::memcpy(&r.pointTolerance, record + kTolerance1Offset, sizeof(double));
    std::memcpy(&r.sizeTolerance, record + kTolerance2Offset, sizeof(double));
  }
  // Traversals in driver order: each round the enabled passes, then a sweep
  // (the last round's is the final sweep).
  std::vector<int> passFlags;
  for (size_t n = 0; n < kOptionCount; ++n)
    if (n != 7 && r.flagsUsed[n]) passFlags.push_back(int(n));
  const size_t perRound = passFlags.size() + 1;
  r.rounds = int(std::max<size_t>(1, boundaries.size() / perRound));
  for (size_t i = 0; i < boundaries.size(); ++i) {
    PassStats p = boundaries[i];
    const size_t j = i % perRound;
    p.round = int(i / perRound) + 1;
    p.flag = j < passFlags.size() ? passFlags[j] : -1;
    p.name = p.flag >= 0 ? PassName(size_t(p.flag)) : "final sweep";
    if (p.flag < 0 && p.deleted + p.created + p.changed == 0) continue;
    r.passes.push_back(p);
  }
  host.StreamCallsTo(nullptr);
  host.SendAction(kActionTearDown);
  r.after = CountByType(host);
  r.violations = host.Violations();
  r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return r;
}

}  // namespace drawclean
