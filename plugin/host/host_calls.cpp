#include "host/host_calls.h"

#include <type_traits>
#include <utility>

#include "base/run_deviation.h"
#include "base/run_marks.h"

CallbackPtr gCBP = nullptr;
ObjectChangeListener gObjectChangeListener = nullptr;
uint64_t gDrawingChanges = 0;

namespace {

// The whole calling convention in one place: ask the dispatcher, treat a
// missing routine (or a missing dispatcher) as "answers zero, does nothing",
// and keep gCBP across the call. A routine without a result answers whether
// the host had it.
template <typename Fn, typename... Args>
inline auto Call(CallbackPtr cbp, int32_t selector, Args... args) {
  using Result = decltype(std::declval<Fn>()(args...));
  Fn fn = nullptr;
  if (cbp != nullptr && *cbp != nullptr) fn = reinterpret_cast<Fn>((*cbp)(selector));
  if constexpr (std::is_void_v<Result>) {
    if (fn == nullptr) return false;
    CallbackPtr kept = gCBP;
    fn(args...);
    gCBP = kept;
    return true;
  } else {
    if (fn == nullptr) return Result{};
    CallbackPtr kept = gCBP;
    Result result = fn(args...);
    gCBP = kept;
    return result;
  }
}

inline void Notify(CallbackPtr cbp, ObjectHandle before, ObjectHandle after) {
  if (gObjectChangeListener != nullptr) gObjectChangeListener(cbp, before, after);
}

inline void Changed(CallbackPtr cbp, ObjectHandle before, ObjectHandle after) {
  ++gDrawingChanges;
  Notify(cbp, before, after);
}

// A conversion answers the object that stands for the old one from now on,
// or 0 when it was refused and nothing changed.
inline ObjectHandle Converted(CallbackPtr cbp, ObjectHandle old, ObjectHandle now) {
  if (now != 0) NoteDeviationConverted(old, now);
  if (now != 0) Changed(cbp, old, now);
  return now;
}

}  // namespace

// ---- Command frame, memory and texts ----

HostBool ConfirmCommand(CallbackPtr cbp, int16_t listId, int16_t index, HostBool flag) {
  return Call<ConfirmCommandFn>(cbp, kSelConfirmCommand, listId, index, flag);
}
void SetCommandMode(CallbackPtr cbp, int16_t mode) {
  Call<SetCommandModeFn>(cbp, kSelSetCommandMode, mode);
}
void ConvertToWorldLength(CallbackPtr cbp, double length, double* outWorld) {
  Call<ConvertToWorldLengthFn>(cbp, kSelConvertToWorldLength, length, outWorld);
}
void GetHostPoint(CallbackPtr cbp, WorldPt* out) {
  Call<GetHostPointFn>(cbp, kSelGetHostPoint, static_cast<HostWorldPt*>(out));
}
void SetHostPoint(CallbackPtr cbp, const WorldPt* in) {
  Call<SetHostPointFn>(cbp, kSelSetHostPoint, static_cast<const HostWorldPt*>(in));
}
void SetHostUpdates(CallbackPtr cbp, HostBool on) {
  Call<SetHostUpdatesFn>(cbp, kSelSetHostUpdates, on);
}
void FinishObjectChanges(CallbackPtr cbp) {
  Call<FinishObjectChangesFn>(cbp, kSelFinishObjectChanges);
}
void RefreshHost(CallbackPtr cbp) { Call<RefreshHostFn>(cbp, kSelRefreshHost); }
MemHandle AllocateHandle(CallbackPtr cbp, int32_t size) {
  return Call<AllocateHandleFn>(cbp, kSelAllocateHandle, size);
}
void FreeHandle(CallbackPtr cbp, MemHandle handle) {
  Call<FreeHandleFn>(cbp, kSelFreeHandle, handle);
}
void GetResourceString(CallbackPtr cbp, int16_t listId, int16_t index, char* outText256,
                       HostBool flag) {
  Call<GetResourceStringFn>(cbp, kSelGetResourceString, listId, index, outText256, flag);
}

// ---- Classes ----

ClassId AddClass(CallbackPtr cbp, const char* name) {
  return Call<AddClassFn>(cbp, kSelAddClass, name);
}
void DeleteClass(CallbackPtr cbp, const char* name) {
  Call<DeleteClassFn>(cbp, kSelDeleteClass, name);
}
void SetClassState(CallbackPtr cbp, ClassId cls, HostBool flag) {
  Call<SetClassStateFn>(cbp, kSelSetClassState, cls, flag);
}

// ---- Layout dialogs ----

DialogId CreateLayoutDialog(CallbackPtr cbp, const char* title, HostBool flag,
                            const char* acceptLabel, const char* cancelLabel) {
  return Call<CreateLayoutDialogFn>(cbp, kSelCreateLayoutDialog, title, flag, acceptLabel,
                                    cancelLabel);
}
void CreateCheckBox(CallbackPtr cbp, DialogId d, int32_t item, const char* label) {
  Call<CreateCheckBoxFn>(cbp, kSelCreateCheckBox, d, item, label);
}
void CreateStaticText(CallbackPtr cbp, DialogId d, int32_t item, const char* text, int16_t width) {
  Call<CreateStaticTextFn>(cbp, kSelCreateStaticText, d, item, text, width);
}
void CreateEditReal(CallbackPtr cbp, DialogId d, int32_t item, int32_t kind, double initial,
                    int16_t width) {
  Call<CreateEditRealFn>(cbp, kSelCreateEditReal, d, item, kind, initial, width);
}
void SetItemHelpText(CallbackPtr cbp, DialogId d, int32_t item, const char* text) {
  Call<SetItemHelpTextFn>(cbp, kSelSetItemHelpText, d, item, text);
}
HostBool SetFirstLayoutItem(CallbackPtr cbp, DialogId d, int32_t item) {
  return Call<SetFirstLayoutItemFn>(cbp, kSelSetFirstLayoutItem, d, item);
}
HostBool PlaceItemBelow(CallbackPtr cbp, DialogId d, int32_t reference, int32_t placed,
                        int16_t dx, int16_t dy) {
  return Call<PlaceItemBelowFn>(cbp, kSelPlaceItemBelow, d, reference, placed, dx, dy);
}
HostBool PlaceItemRight(CallbackPtr cbp, DialogId d, int32_t reference, int32_t placed,
                        int16_t dx, int16_t dy) {
  return Call<PlaceItemRightFn>(cbp, kSelPlaceItemRight, d, reference, placed, dx, dy);
}
HostBool VerifyLayout(CallbackPtr cbp, DialogId d) {
  return Call<VerifyLayoutFn>(cbp, kSelVerifyLayout, d);
}
int32_t RunLayoutDialog(CallbackPtr cbp, DialogId d, DialogEventHandler handler, void* userData) {
  return Call<RunLayoutDialogFn>(cbp, kSelRunLayoutDialog, d, handler, userData);
}
void SetBooleanItem(CallbackPtr cbp, DialogId d, int32_t item, HostBool value) {
  Call<SetBooleanItemFn>(cbp, kSelSetBooleanItem, d, item, value);
}
void EnableItem(CallbackPtr cbp, DialogId d, int32_t item, HostBool enabled) {
  Call<EnableItemFn>(cbp, kSelEnableItem, d, item, enabled);
}
HostBool GetEditReal(CallbackPtr cbp, DialogId d, int32_t item, int16_t kind, double* out) {
  return Call<GetEditRealFn>(cbp, kSelGetEditReal, d, item, kind, out);
}

// ---- Objects and traversal ----

void ForEachObject(CallbackPtr cbp, int16_t traverseCode, TraversalCallback callback,
                   int32_t environment) {
  Call<ForEachObjectFn>(cbp, kSelForEachObject, traverseCode, callback, environment, cbp);
}
ObjectHandle NextObject(CallbackPtr cbp, ObjectHandle o) {
  return Call<NextObjectFn>(cbp, kSelNextObject, o);
}
int16_t GetObjectType(CallbackPtr cbp, ObjectHandle o) {
  return Call<GetObjectTypeFn>(cbp, kSelGetObjectType, o);
}
HostBool GetObjectBounds(CallbackPtr cbp, ObjectHandle o, WorldRect* out) {
  return Call<GetObjectBoundsFn>(cbp, kSelGetObjectBounds, o, static_cast<HostWorldRect*>(out));
}
void DeleteObject(CallbackPtr cbp, ObjectHandle o, HostBool flag) {
  // A host without the routine deleted nothing: the object stays in the
  // drawing, where a walk still meets it, so it must stay a candidate.
  const bool ran = Call<DeleteObjectFn>(cbp, kSelDeleteObject, o, flag);
  NoteDeleted(o);
  if (ran) Changed(cbp, o, 0);
}
ClassId GetObjectClass(CallbackPtr cbp, ObjectHandle o) {
  return Call<GetObjectClassFn>(cbp, kSelGetObjectClass, o);
}
void SetObjectClass(CallbackPtr cbp, ObjectHandle o, ClassId cls) {
  Call<SetObjectClassFn>(cbp, kSelSetObjectClass, o, cls);
  NoteClassSet(o, cls);
  ++gDrawingChanges;  // the marker class is how a pass removes an object
}

// ---- Attributes ----

int32_t GetObjectLongAttr(CallbackPtr cbp, ObjectHandle o) {
  return Call<GetObjectLongAttrFn>(cbp, kSelGetObjectLongAttr, o);
}
void SetObjectLongAttr(CallbackPtr cbp, ObjectHandle o, int32_t value) {
  Call<SetObjectLongAttrFn>(cbp, kSelSetObjectLongAttr, o, value);
}
int16_t GetObjectWordAttrA(CallbackPtr cbp, ObjectHandle o) {
  return Call<GetObjectWordAttrAFn>(cbp, kSelGetObjectWordAttrA, o);
}
void SetObjectWordAttrA(CallbackPtr cbp, ObjectHandle o, int16_t value) {
  Call<SetObjectWordAttrAFn>(cbp, kSelSetObjectWordAttrA, o, value);
}
int16_t GetObjectWordAttrB(CallbackPtr cbp, ObjectHandle o) {
  return Call<GetObjectWordAttrBFn>(cbp, kSelGetObjectWordAttrB, o);
}
void SetObjectWordAttrB(CallbackPtr cbp, ObjectHandle o, int16_t value) {
  Call<SetObjectWordAttrBFn>(cbp, kSelSetObjectWordAttrB, o, value);
}
HostBool GetObjectAttrRecord(CallbackPtr cbp, ObjectHandle o, uint8_t outRecord4[4]) {
  return Call<GetObjectAttrRecordFn>(cbp, kSelGetObjectAttrRecord, o, outRecord4);
}
void SetObjectAttrRecord(CallbackPtr cbp, ObjectHandle o, const uint8_t record4[4]) {
  // The host takes the record by value: its little-endian bytes are bytes 0..3.
  uint32_t record = uint32_t{record4[0]} | uint32_t{record4[1]} << 8 |
                    uint32_t{record4[2]} << 16 | uint32_t{record4[3]} << 24;
  Call<SetObjectAttrRecordFn>(cbp, kSelSetObjectAttrRecord, o, record);
}
void CopyObjectAttributes(CallbackPtr cbp, ObjectHandle destination, ObjectHandle source) {
  Call<CopyObjectAttributesFn>(cbp, kSelCopyObjectAttributes, destination, source);
}
HostBool GetObjectFlagA(CallbackPtr cbp, ObjectHandle o) {
  return Call<GetObjectFlagFn>(cbp, kSelGetObjectFlagA, o);
}
HostBool GetObjectFlagB(CallbackPtr cbp, ObjectHandle o) {
  return Call<GetObjectFlagFn>(cbp, kSelGetObjectFlagB, o);
}
HostBool GetObjectFlagC(CallbackPtr cbp, ObjectHandle o) {
  return Call<GetObjectFlagFn>(cbp, kSelGetObjectFlagC, o);
}
HostBool GetObjectFlagD(CallbackPtr cbp, ObjectHandle o) {
  return Call<GetObjectFlagFn>(cbp, kSelGetObjectFlagD, o);
}
HostBool GetObjectFlagE(CallbackPtr cbp, ObjectHandle o) {
  return Call<GetObjectFlagFn>(cbp, kSelGetObjectFlagE, o);
}
HostBool GetObjectFlagF(CallbackPtr cbp, ObjectHandle o) {
  return Call<GetObjectFlagFn>(cbp, kSelGetObjectFlagF, o);
}
void SetObjectFlagA(CallbackPtr cbp, ObjectHandle o) {
  Call<SetObjectFlagFn>(cbp, kSelSetObjectFlagA, o);
}
void SetObjectFlagB(CallbackPtr cbp, ObjectHandle o) {
  Call<SetObjectFlagFn>(cbp, kSelSetObjectFlagB, o);
}
void SetObjectFlagC(CallbackPtr cbp, ObjectHandle o) {
  Call<SetObjectFlagFn>(cbp, kSelSetObjectFlagC, o);
}
void SetObjectFlagD(CallbackPtr cbp, ObjectHandle o) {
  Call<SetObjectFlagFn>(cbp, kSelSetObjectFlagD, o);
}
void SetObjectFlagE(CallbackPtr cbp, ObjectHandle o) {
  Call<SetObjectFlagFn>(cbp, kSelSetObjectFlagE, o);
}
void SetObjectFlagF(CallbackPtr cbp, ObjectHandle o) {
  Call<SetObjectFlagFn>(cbp, kSelSetObjectFlagF, o);
}
int32_t GetObjectLongAttrC(CallbackPtr cbp, ObjectHandle o) {
  return Call<GetObjectLongAttrCFn>(cbp, kSelGetObjectLongAttrC, o);
}
int32_t GetObjectLongAttrB(CallbackPtr cbp, ObjectHandle o) {
  return Call<GetObjectLongAttrBFn>(cbp, kSelGetObjectLongAttrB, o);
}

// ---- Lines, arcs and points ----

ObjectHandle CreateLine(CallbackPtr cbp, const WorldPt* first, const WorldPt* second) {
  const ObjectHandle line = Call<CreateLineFn>(cbp, kSelCreateLine, static_cast<const HostWorldPt*>(first),
                                               static_cast<const HostWorldPt*>(second));
  if (line != 0) Changed(cbp, 0, line);
  return line;
}
void GetLineEnds(CallbackPtr cbp, ObjectHandle o, WorldPt* first, WorldPt* second) {
  Call<GetLineEndsFn>(cbp, kSelGetLineEnds, o, static_cast<HostWorldPt*>(first),
                      static_cast<HostWorldPt*>(second));
}
void SetLineEnds(CallbackPtr cbp, ObjectHandle o, const WorldPt* first, const WorldPt* second) {
  Call<SetLineEndsFn>(cbp, kSelSetLineEnds, o, static_cast<const HostWorldPt*>(first),
                      static_cast<const HostWorldPt*>(second));
  Changed(cbp, o, o);
}
void GetArcGeometry(CallbackPtr cbp, ObjectHandle o, double* startDeg, double* sweepDeg,
                    WorldPt* center, double* hRadius, double* vRadius) {
  Call<GetArcGeometryFn>(cbp, kSelGetArcGeometry, o, startDeg, sweepDeg,
                         static_cast<HostWorldPt*>(center), hRadius, vRadius);
}
void SetArcAngles(CallbackPtr cbp, ObjectHandle o, double startDeg, double sweepDeg) {
  Call<SetArcAnglesFn>(cbp, kSelSetArcAngles, o, startDeg, sweepDeg);
  Changed(cbp, o, o);
}
void GetObjectPoint(CallbackPtr cbp, ObjectHandle o, WorldPt* out) {
  Call<GetObjectPointFn>(cbp, kSelGetObjectPoint, o, static_cast<HostWorldPt*>(out));
}
void GetObjectPoint3D(CallbackPtr cbp, ObjectHandle o, WorldPt3D* out) {
  Call<GetObjectPoint3DFn>(cbp, kSelGetObjectPoint3D, o, static_cast<HostWorldPt3D*>(out));
}
void GetObjectPoints3D(CallbackPtr cbp, ObjectHandle o, WorldPt3D outFour[4]) {
  // The host fills an array of its own records; ours are copied from it so
  // that no pointer arithmetic runs over a base-class pointer.
  HostWorldPt3D four[4];
  for (int i = 0; i < 4; ++i) four[i] = outFour[i];
  Call<GetObjectPoints3DFn>(cbp, kSelGetObjectPoints3D, o, four);
  for (int i = 0; i < 4; ++i) static_cast<HostWorldPt3D&>(outFour[i]) = four[i];
}

// ---- Vertex-list objects ----

ObjectHandle CreatePolyline(CallbackPtr cbp) {
  const ObjectHandle polyline = Call<CreatePolylineFn>(cbp, kSelCreatePolyline);
  if (polyline != 0) Changed(cbp, 0, polyline);
  return polyline;
}
void AddVertex(CallbackPtr cbp, ObjectHandle o, const WorldPt* p, int32_t vertexType,
               double radius, HostBool flag) {
  Call<AddVertexFn>(cbp, kSelAddVertex, o, static_cast<const HostWorldPt*>(p), vertexType,
                    static_cast<const double*>(&radius), flag);
  Changed(cbp, o, o);
}
void SetVertex(CallbackPtr cbp, ObjectHandle o, int16_t index, const WorldPt* p,
               int32_t vertexType, double radius, HostBool flag) {
  Call<SetVertexFn>(cbp, kSelSetVertex, o, index, static_cast<const HostWorldPt*>(p), vertexType,
                    static_cast<const double*>(&radius), flag);
  Changed(cbp, o, o);
}
void DeleteVertex(CallbackPtr cbp, ObjectHandle o, int16_t index) {
  Call<DeleteVertexFn>(cbp, kSelDeleteVertex, o, index);
  Changed(cbp, o, o);
}
int16_t GetVertexCount(CallbackPtr cbp, ObjectHandle o) {
  return Call<GetVertexCountFn>(cbp, kSelGetVertexCount, o);
}
void GetVertex(CallbackPtr cbp, ObjectHandle o, int16_t index, WorldPt* p, int32_t* vertexType,
               double* radius) {
  Call<GetVertexFn>(cbp, kSelGetVertex, o, index, static_cast<HostWorldPt*>(p), vertexType,
                    radius);
}
void GetVertex3D(CallbackPtr cbp, ObjectHandle o, int16_t index, WorldPt3D* p) {
  Call<GetVertex3DFn>(cbp, kSelGetVertex3D, o, index, static_cast<HostWorldPt3D*>(p));
}
HostBool IsPolyClosed(CallbackPtr cbp, ObjectHandle o) {
  return Call<IsPolyClosedFn>(cbp, kSelIsPolyClosed, o);
}
void SetPolyClosed(CallbackPtr cbp, ObjectHandle o, HostBool closed) {
  Call<SetPolyClosedFn>(cbp, kSelSetPolyClosed, o, closed);
}
void ResetObject(CallbackPtr cbp, ObjectHandle o) {
  Call<ResetObjectFn>(cbp, kSelResetObject, o);
  // The host brings what it derives up to date; the drawing is as it was,
  // but an index must read the object again.
  Notify(cbp, o, o);
}
HostBool PrepareObject(CallbackPtr cbp, ObjectHandle o) {
  const HostBool prepared = Call<PrepareObjectFn>(cbp, kSelPrepareObject, o);
  Changed(cbp, o, o);
  return prepared;
}
ObjectHandle ConvertToPolyline(CallbackPtr cbp, ObjectHandle o, HostBool flag) {
  const ObjectHandle converted = Call<ConvertToPolylineFn>(cbp, kSelConvertToPolyline, o, flag);
  NoteConverted(o, converted);
  return Converted(cbp, o, converted);
}
ObjectHandle ConvertToType5Object(CallbackPtr cbp, ObjectHandle o, HostBool flag) {
  const ObjectHandle converted = Call<ConvertToType5ObjectFn>(cbp, kSelConvertToType5Object, o, flag);
  NoteConverted(o, converted);
  return Converted(cbp, o, converted);
}
