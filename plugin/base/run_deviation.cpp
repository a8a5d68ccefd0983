#include "base/run_deviation.h"

#include <algorithm>
#include <new>
#include <unordered_map>

#include "base/run_globals.h"

namespace {

// Few objects ever carry anything: only the survivors of near matches.
std::unordered_map<ObjectHandle, double>* gCarried = nullptr;
bool gLedgerLost = false;

// What the passes after a near match may still move: the join closes gaps
// of a hundredth of the tolerance, clean-up drops corners within 1e-5.
constexpr double kJoinShare = 0.01;
constexpr double kCollinearityLimit = 1e-5;

}  // namespace

void BeginRunDeviation() { EndRunDeviation(); }

void EndRunDeviation() {
  delete gCarried;
  gCarried = nullptr;
  gLedgerLost = false;
}

double CarriedDeviation(ObjectHandle object) {
  if (gCarried == nullptr) return 0;
  const auto it = gCarried->find(object);
  return it == gCarried->end() ? 0 : it->second;
}

void CarryDeviation(ObjectHandle from, ObjectHandle to, double distance) {
  if (to == 0 || !(distance >= 0)) return;
  const double carried = CarriedDeviation(from) + distance;
  if (carried <= CarriedDeviation(to)) return;
  if (gCarried == nullptr) gCarried = new (std::nothrow) std::unordered_map<ObjectHandle, double>();
  try {
    if (gCarried != nullptr) {
      (*gCarried)[to] = carried;
      return;
    }
  } catch (...) {
  }
  // Out of memory: what `to` carries is unknown from here on, so no near
  // match may spend any more of the tolerance this run.
  gLedgerLost = true;
}

double NearBudget(ObjectHandle object) {
  if (!gExtraOptions.nearMatch || gLedgerLost) return 0;
  const double budget = gPointTolerance * (1 - kJoinShare) - kCollinearityLimit - CarriedDeviation(object);
  return budget > 0 ? budget : 0;  // NaN too
}

void NoteDeviationConverted(ObjectHandle from, ObjectHandle to) {
  if (from != to) CarryDeviation(from, to, 0);
}
