#include "driver/pass_driver.h"

#include <cstddef>

#include "base/run_deviation.h"
#include "base/run_globals.h"
#include "base/run_marks.h"
#include "host/host_calls.h"
#include "index/candidate_index.h"
#include "passes/passes.h"

namespace {

constexpr int16_t kTraverseAllObjects = 38;
constexpr int32_t kTraverseEnvironment = 0;
constexpr int16_t kMarkerClassListId = 11003;
constexpr int16_t kMarkerClassIndex = 11;
// Rounds of passes at most when they repeat until nothing changes: enough for
// the pieces one pass makes to meet every other pass a few times over, and a
// bound however the passes might undo each other.
constexpr int kMaxRounds = 8;

struct PassRow {
  size_t optionFlag;
  TraversalCallback callback;
};

// The passes in the order they run; option flag 7 has no pass of its own.
constexpr PassRow kPassTable[] = {
    {0, FlattenType25Object},     {1, RemoveDegenerateObject},
    {2, RemoveType17Object},      {3, RemoveDuplicateObject},
    {4, MergeOverlappingSegments}, {5, CleanUpVertexObject},
    {6, JoinConnectedSegments},   {8, ReduceVertices},
};

// Set by the final sweep when it meets an object in the marker class that
// the run never put there: the class is the user's, and stays.
bool gMarkerClassShared = false;

bool AnyPassEnabled(const CommandOptions& options) {
  for (const PassRow& row : kPassTable)
    if (OptionFlag(options, row.optionFlag)) return true;
  return false;
}

}  // namespace

bool RunPasses(CallbackPtr cbp, CommandOptions options) {
  SetHostUpdates(cbp, 0);
  char markerName[kHostTextBufferSize] = {};
  GetResourceString(cbp, kMarkerClassListId, kMarkerClassIndex, markerName, 1);
  gMarkerClass = AddClass(cbp, markerName);
  SetClassState(cbp, gMarkerClass, 0);
  gFlag5Enabled = OptionFlag(options, 5) ? 1 : 0;
  gFlag7Enabled = OptionFlag(options, 7) ? 1 : 0;

  // Class 0 is where every ordinary object lives: without a class of our own
  // the sweep would delete the drawing, so nothing runs.
  const bool haveMarkerClass = gMarkerClass != 0;
  gMarkerClassShared = false;
  BeginRunMarks();
  BeginRunDeviation();
  if (haveMarkerClass && AnyPassEnabled(options)) {
    for (int round = 1;; ++round) {
      const uint64_t changesBefore = gDrawingChanges;
      for (const PassRow& row : kPassTable)
        if (OptionFlag(options, row.optionFlag)) {
          // Each pass decides afresh whether the drawing is large enough for an index.
          BeginPassCandidates();
          ForEachObject(cbp, kTraverseAllObjects, row.callback, kTraverseEnvironment);
          EndPassCandidates();
        }
      if (!gExtraOptions.repeat || round == kMaxRounds || gDrawingChanges == changesBefore) break;
      // What this round marked goes before the next one: the passes compare
      // only what is still drawn.
      ForEachObject(cbp, kTraverseAllObjects, FinalSweepCallback, kTraverseEnvironment);
    }
    ForEachObject(cbp, kTraverseAllObjects, FinalSweepCallback, kTraverseEnvironment);
    FinishObjectChanges(cbp);
  }

  // Marks lost for want of memory: objects left in the class may be ours,
  // but they cannot be told from the user's, so the class stays too.
  if (RunMarksIncomplete()) gMarkerClassShared = true;
  EndRunMarks();
  EndRunDeviation();
  if (!gMarkerClassShared) DeleteClass(cbp, markerName);
  RefreshHost(cbp);
  SetHostUpdates(cbp, 1);
  return haveMarkerClass;
}

void FinalSweepCallback(ObjectHandle object, CallbackPtr cbp) {
  if (GetObjectClass(cbp, object) != gMarkerClass) return;
  if (IsRunMark(object)) DeleteObject(cbp, object, 1);
  else gMarkerClassShared = true;
}
