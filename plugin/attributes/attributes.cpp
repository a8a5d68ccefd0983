#include "attributes/attributes.h"

#include <cstdint>

#include "base/run_deviation.h"
#include "base/run_globals.h"
#include "base/run_marks.h"
#include "host/host_calls.h"

namespace {

// What RememberAttributes last saw; all zero until the first call.
struct AttributeSnapshot {
  int16_t wordAttrA;
  ClassId cls;
  uint8_t record[4];
  int16_t wordAttrB;
  uint8_t flagE;  // the byte as the host answered it, not normalised
  uint8_t flagD;
};

AttributeSnapshot gRemembered = {};

// Record bytes 0 and 1 are not part of the comparison.
constexpr int kFirstComparedRecordByte = 2;
constexpr int kLastComparedRecordByte = 3;

}  // namespace

void CopyAttributes(CallbackPtr cbp, ObjectHandle source, ObjectHandle destination) {
  if (source == 0 || destination == 0) return;
  CopyObjectAttributes(cbp, destination, source);
  SetObjectWordAttrA(cbp, destination, GetObjectWordAttrA(cbp, source));
  SetObjectLongAttr(cbp, destination, GetObjectLongAttr(cbp, source));
  SetObjectWordAttrB(cbp, destination, GetObjectWordAttrB(cbp, source));
  uint8_t record[4] = {};
  (void)GetObjectAttrRecord(cbp, source, record);
  SetObjectAttrRecord(cbp, destination, record);
  SetObjectClass(cbp, destination, GetObjectClass(cbp, source));
  // A copy of a user's object stays the user's, even in a class that
  // happens to be the marker class; a copy of a marked one goes with it.
  CarryRunMark(source, destination);
  // ... and stands for what the source stood for.
  CarryDeviation(source, destination, 0);
  // The host has no routine to switch a flag off: a flag off on the source
  // leaves the destination's as it was.
  if (GetObjectFlagC(cbp, source)) SetObjectFlagC(cbp, destination);
  if (GetObjectFlagB(cbp, source)) SetObjectFlagB(cbp, destination);
  if (GetObjectFlagF(cbp, source)) SetObjectFlagF(cbp, destination);
  if (GetObjectFlagE(cbp, source)) SetObjectFlagE(cbp, destination);
  if (GetObjectFlagD(cbp, source)) SetObjectFlagD(cbp, destination);
  if (GetObjectFlagA(cbp, source)) SetObjectFlagA(cbp, destination);
}

HostBool RememberAttributes(CallbackPtr cbp, ObjectHandle object) {
  if (object == 0) return 0;
  gRemembered.wordAttrA = GetObjectWordAttrA(cbp, object);
  gRemembered.cls = GetObjectClass(cbp, object);
  (void)GetObjectAttrRecord(cbp, object, gRemembered.record);
  gRemembered.wordAttrB = GetObjectWordAttrB(cbp, object);
  gRemembered.flagE = GetObjectFlagE(cbp, object);
  gRemembered.flagD = GetObjectFlagD(cbp, object);
  return 1;
}

// The properties the user asked to ignore are not compared (nor read): the
// colour is word attribute A, the layer the class, the linetype record bytes
// 2 and 3, the lineweight word attribute B.
HostBool MatchesRememberedAttributes(CallbackPtr cbp, ObjectHandle object) {
  if (object == 0) return 0;
  const ExtraOptions& ignore = gExtraOptions;
  if (!ignore.ignoreColour && GetObjectWordAttrA(cbp, object) != gRemembered.wordAttrA) return 0;
  if (!ignore.ignoreLayer && GetObjectClass(cbp, object) != gRemembered.cls) return 0;
  if (!ignore.ignoreLinetype) {
    // Zeroed first: a host without the routine leaves the record untouched.
    uint8_t record[4] = {};
    (void)GetObjectAttrRecord(cbp, object, record);
    for (int i = kFirstComparedRecordByte; i <= kLastComparedRecordByte; ++i) {
      if (record[i] != gRemembered.record[i]) return 0;
    }
  }
  if (!ignore.ignoreLineweight && GetObjectWordAttrB(cbp, object) != gRemembered.wordAttrB) return 0;
  // Compared as bytes: 1 and 2 differ although both mean "on".
  if (GetObjectFlagE(cbp, object) != gRemembered.flagE) return 0;
  if (GetObjectFlagD(cbp, object) != gRemembered.flagD) return 0;
  return 1;
}
