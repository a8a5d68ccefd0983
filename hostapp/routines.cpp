// Every routine of the host interface, answered from the current Host.
//
// Each routine counts the call, runs its hook, logs its arguments (only when
// logging is on), then checks the call against the contract: a violating call
// is reported, answers 0 and changes nothing.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "hostapp/dialog_engine.h"
#include "hostapp/geometry.h"
#include "hostapp/host.h"
#include "hostapp/routine_checks.h"

namespace hostapp {

namespace {

// ---- argument text for the call log ----

void Put(std::string& s, int32_t v) { s += std::to_string(v); }
void Put(std::string& s, int16_t v) { s += std::to_string(v); }
void Put(std::string& s, uint32_t v) { s += std::to_string(v); }
void Put(std::string& s, uint8_t v) { s += std::to_string(unsigned(v)); }
void Put(std::string& s, double v) { s += NumberText(v); }
void Put(std::string& s, const char* text) {
  s += '"';
  s += text != nullptr ? text : "(null)";
  s += '"';
}
void Put(std::string& s, const HostWorldPt* p) {
  if (p == nullptr) {
    s += "null";
    return;
  }
  s += '(';
  Put(s, p->x);
  s += ", ";
  Put(s, p->y);
  s += ')';
}
void Put(std::string& s, const void* p) { s += p == nullptr ? "null" : "ptr"; }

std::string Fmt() { return std::string(); }
template <typename T, typename... Rest>
std::string Fmt(T first, Rest... rest) {
  std::string s;
  Put(s, first);
  ((s += ", ", Put(s, rest)), ...);
  return s;
}

constexpr size_t kTextLimit = kHostTextBufferSize;

bool TextOk(const char* text) { return TextEnd(text) != nullptr; }

// A text for the log that is safe to print even when unterminated.
const char* LogText(const char* text) { return TextOk(text) ? text : "(bad text)"; }

bool IsVertexList(int16_t t) { return t == kVertexListType || t == kCurvedVertexListType; }

}  // namespace

// Every routine of the interface; a friend of Host so it can reach the drawing.
struct Routines {
  // The live object behind o, or nullptr (reported).
  static Object* Live(Host* h, const char* routine, ObjectHandle o) {
    if (!h->Alive(o)) {
      Violation(h, routine, o == 0 ? "object handle 0" : "dead or unknown object " + std::to_string(o));
      return nullptr;
    }
    return &h->slots_[o].obj;
  }
  static Object* OfType(Host* h, const char* routine, ObjectHandle o, int16_t type) {
    Object* obj = Live(h, routine, o);
    if (obj != nullptr && obj->type != type) {
      Violation(h, routine, "object " + std::to_string(o) + " has type " + std::to_string(obj->type));
      return nullptr;
    }
    return obj;
  }
  static Object* VertexObject(Host* h, const char* routine, ObjectHandle o, bool allow3d) {
    Object* obj = Live(h, routine, o);
    if (obj != nullptr && !IsVertexList(obj->type) && !(allow3d && obj->type == kVertexList3DType)) {
      Violation(h, routine, "object " + std::to_string(o) + " has type " + std::to_string(obj->type));
      return nullptr;
    }
    return obj;
  }
  static bool Text(Host* h, const char* routine, const char* text, const char* what) {
    if (!TextOk(text)) Violation(h, routine, std::string(what) + " is null or not terminated within 256 bytes");
    return TextOk(text);
  }
  static size_t VertexCount(const Object& o) {
    return o.type == kVertexList3DType ? o.vertices3d.size() : o.vertices.size();
  }
  static bool Index(Host* h, const char* routine, const Object& o, int16_t index) {
    const size_t n = VertexCount(o);
    if (index < 1 || static_cast<size_t>(index) > n) {
      Violation(h, routine, "vertex index " + std::to_string(index) + " outside 1.." + std::to_string(n));
      return false;
    }
    return true;
  }

#define HOST_BEGIN(sel, name, ret, ...)                                  \
  Host* h = EnterRoutine(sel);                                           \
  if (h == nullptr) return ret;                                          \
  if (h->Logging()) h->LogCall(sel, name, Fmt(__VA_ARGS__));             \
  [[maybe_unused]] const char* const routine = name

  // ---- command frame, memory and texts ----

  static HostBool ConfirmCommand(int16_t listId, int16_t index, HostBool flag) {
    HOST_BEGIN(kSelConfirmCommand, "ConfirmCommand", 0, listId, index, flag);
    return Answer(h, h->settings.confirm);
  }
  static void SetCommandMode(int16_t mode) {
    HOST_BEGIN(kSelSetCommandMode, "SetCommandMode", , mode);
    h->commandMode_ = mode;
  }
  static void ConvertToWorldLength(double length, double* outWorld) {
    HOST_BEGIN(kSelConvertToWorldLength, "ConvertToWorldLength", , length);
    if (!NotNull(h, routine, outWorld, "out length")) return;
    *outWorld = length * h->settings.worldScale;
  }
  static void GetHostPoint(HostWorldPt* out) {
    HOST_BEGIN(kSelGetHostPoint, "GetHostPoint", );
    if (!NotNull(h, routine, out, "out point")) return;
    *out = h->hostPoint;
  }
  static void SetHostPoint(const HostWorldPt* in) {
    HOST_BEGIN(kSelSetHostPoint, "SetHostPoint", , in);
    if (!NotNull(h, routine, in, "in point")) return;
    h->hostPoint = *in;
  }
  static void SetHostUpdates(HostBool on) {
    HOST_BEGIN(kSelSetHostUpdates, "SetHostUpdates", , on);
    h->updatesOn_ = on != 0;
  }
  static void FinishObjectChanges() { HOST_BEGIN(kSelFinishObjectChanges, "FinishObjectChanges", ); }
  static void RefreshHost() { HOST_BEGIN(kSelRefreshHost, "RefreshHost", ); }

  static MemHandle AllocateHandle(int32_t size) {
    HOST_BEGIN(kSelAllocateHandle, "AllocateHandle", nullptr, size);
    if (size < 0) {
      Violation(h, routine, "negative size " + std::to_string(size));
      return nullptr;
    }
    if (h->settings.allocateFails) return nullptr;
    auto block = std::make_unique<Host::Block>();
    block->data = std::make_unique<char[]>(size > 0 ? size : 1);
    std::memset(block->data.get(), h->settings.newBlockFill, size > 0 ? size : 1);
    block->ptr = block->data.get();
    block->size = static_cast<size_t>(size);
    block->live = true;
    MemHandle handle = &block->ptr;
    h->blocks_[handle] = std::move(block);
    ++h->liveBlocks_;
    return handle;
  }
  static void FreeHandle(MemHandle handle) {
    HOST_BEGIN(kSelFreeHandle, "FreeHandle", , static_cast<const void*>(handle));
    auto it = h->blocks_.find(handle);
    if (it == h->blocks_.end()) {
      Violation(h, routine, handle == nullptr ? "null handle" : "unknown handle");
      return;
    }
    Host::Block& b = *it->second;
    if (!b.live) {
      Violation(h, routine, "handle freed twice");
      return;
    }
    // The record stays (its data does not), so a second free is recognised.
    b.live = false;
    b.data.reset();
    b.ptr = nullptr;
    --h->liveBlocks_;
  }
  static void GetResourceString(int16_t listId, int16_t index, char* outText256, HostBool flag) {
    HOST_BEGIN(kSelGetResourceString, "GetResourceString", , listId, index, flag);
    if (!NotNull(h, routine, outText256, "out text")) return;
    const char* text = ResourceText(listId, index);
    if (text == nullptr) {
      Violation(h, routine, "no text " + std::to_string(index) + " in list " + std::to_string(listId));
      outText256[0] = '\0';
      return;
    }
    const size_t n = std::min(std::strlen(text), kTextLimit - 1);
    std::memcpy(outText256, text, n);
    outText256[n] = '\0';
  }

  // ---- classes ----

  static ClassId AddClass(const char* name) {
    HOST_BEGIN(kSelAddClass, "AddClass", 0, LogText(name));
    if (!Text(h, routine, name, "name")) return 0;
    if (h->settings.addClassFails || name[0] == '\0') return 0;
    return h->ClassNamed(name);
  }
  static void DeleteClass(const char* name) {
    HOST_BEGIN(kSelDeleteClass, "DeleteClass", , LogText(name));
    if (!Text(h, routine, name, "name")) return;
    auto it = h->classIds_.find(name);
    if (it == h->classIds_.end()) return;
    // Objects still in the class fall back to class 0. This walks the drawing,
    // but the command deletes a class once per run, after its own full sweep.
    const ClassId gone = it->second;
    for (ObjectHandle o = h->head_; o != 0; o = h->slots_[o].next)
      if (h->slots_[o].obj.cls == gone) h->slots_[o].obj.cls = 0;
    // The id is never handed out again, so a stale id stays recognisable.
    h->classLive_[gone] = 0;
    h->classNames_[it->second].clear();
    h->classIds_.erase(it);
  }
  static void SetClassState(ClassId cls, HostBool flag) {
    HOST_BEGIN(kSelSetClassState, "SetClassState", , cls, flag);
    if (!h->ClassExists(cls)) Violation(h, routine, "unknown class " + std::to_string(cls));
  }

  // ---- objects and traversal ----

  static void ForEachObject(int16_t code, TraversalCallback callback, int32_t environment,
                            CallbackPtr cbp) {
    HOST_BEGIN(kSelForEachObject, "ForEachObject", , code, environment);
    if (!NotNull(h, routine, reinterpret_cast<const void*>(callback), "callback")) return;
    // Only objects live at the start are visited: anything created since has
    // a later serial (a replacement inherits its predecessor's).
    const uint64_t limit = h->nextSerial_;
    ObjectHandle cur = h->head_;
    while (cur != 0) {
      if (h->slots_[cur].serial < limit) {
        h->visiting_.push_back(cur);
        callback(cur, cbp);
        h->visiting_.pop_back();
      }
      // A dead object kept its successor link; follow it to a live one.
      cur = h->LiveFrom(h->slots_[cur].next);
    }
  }
  static ObjectHandle NextObject(ObjectHandle o) {
    HOST_BEGIN(kSelNextObject, "NextObject", 0, o);
    if (Live(h, routine, o) == nullptr) return 0;
    return h->slots_[o].next;
  }
  static int16_t GetObjectType(ObjectHandle o) {
    HOST_BEGIN(kSelGetObjectType, "GetObjectType", 0, o);
    Object* obj = Live(h, routine, o);
    return obj != nullptr ? obj->type : 0;
  }
  static HostBool GetObjectBounds(ObjectHandle o, HostWorldRect* out) {
    HOST_BEGIN(kSelGetObjectBounds, "GetObjectBounds", 0, o);
    Object* obj = Live(h, routine, o);
    if (obj == nullptr || !NotNull(h, routine, out, "out rectangle")) return 0;
    return Answer(h, ComputeBounds(*obj, out));
  }
  static void DeleteObject(ObjectHandle o, HostBool flag) {
    HOST_BEGIN(kSelDeleteObject, "DeleteObject", , o, flag);
    if (Live(h, routine, o) == nullptr) return;
    h->Kill(o);
  }
  static ClassId GetObjectClass(ObjectHandle o) {
    HOST_BEGIN(kSelGetObjectClass, "GetObjectClass", 0, o);
    Object* obj = Live(h, routine, o);
    return obj != nullptr ? obj->cls : 0;
  }
  static void SetObjectClass(ObjectHandle o, ClassId cls) {
    HOST_BEGIN(kSelSetObjectClass, "SetObjectClass", , o, cls);
    Object* obj = Live(h, routine, o);
    if (obj == nullptr) return;
    if (!h->ClassExists(cls)) {
      Violation(h, routine, "unknown class " + std::to_string(cls));
      return;
    }
    obj->cls = cls;
  }

  // ---- attributes ----

  static int32_t GetObjectLongAttr(ObjectHandle o) {
    HOST_BEGIN(kSelGetObjectLongAttr, "GetObjectLongAttr", 0, o);
    Object* obj = Live(h, routine, o);
    return obj != nullptr ? obj->attr.longAttr : 0;
  }
  static void SetObjectLongAttr(ObjectHandle o, int32_t value) {
    HOST_BEGIN(kSelSetObjectLongAttr, "SetObjectLongAttr", , o, value);
    if (Object* obj = Live(h, routine, o)) obj->attr.longAttr = value;
  }
  static int16_t GetObjectWordAttrA(ObjectHandle o) {
    HOST_BEGIN(kSelGetObjectWordAttrA, "GetObjectWordAttrA", 0, o);
    Object* obj = Live(h, routine, o);
    return obj != nullptr ? obj->attr.wordA : 0;
  }
  static void SetObjectWordAttrA(ObjectHandle o, int16_t value) {
    HOST_BEGIN(kSelSetObjectWordAttrA, "SetObjectWordAttrA", , o, value);
    if (Object* obj = Live(h, routine, o)) obj->attr.wordA = value;
  }
  static int16_t GetObjectWordAttrB(ObjectHandle o) {
    HOST_BEGIN(kSelGetObjectWordAttrB, "GetObjectWordAttrB", 0, o);
    Object* obj = Live(h, routine, o);
    return obj != nullptr ? obj->attr.wordB : 0;
  }
  static void SetObjectWordAttrB(ObjectHandle o, int16_t value) {
    HOST_BEGIN(kSelSetObjectWordAttrB, "SetObjectWordAttrB", , o, value);
    if (Object* obj = Live(h, routine, o)) obj->attr.wordB = value;
  }
  static HostBool GetObjectAttrRecord(ObjectHandle o, uint8_t* outRecord4) {
    HOST_BEGIN(kSelGetObjectAttrRecord, "GetObjectAttrRecord", 0, o);
    Object* obj = Live(h, routine, o);
    if (obj == nullptr || !NotNull(h, routine, outRecord4, "out record")) return 0;
    std::memcpy(outRecord4, obj->attr.record, 4);
    return h->True();
  }
  static void SetObjectAttrRecord(ObjectHandle o, uint32_t record) {
    HOST_BEGIN(kSelSetObjectAttrRecord, "SetObjectAttrRecord", , o, record);
    Object* obj = Live(h, routine, o);
    if (obj == nullptr) return;
    for (int i = 0; i < 4; ++i) obj->attr.record[i] = static_cast<uint8_t>(record >> (8 * i));
  }
  static void CopyObjectAttributes(ObjectHandle destination, ObjectHandle source) {
    HOST_BEGIN(kSelCopyObjectAttributes, "CopyObjectAttributes", , destination, source);
    Object* dst = Live(h, routine, destination);
    Object* src = Live(h, routine, source);
    if (dst == nullptr || src == nullptr) return;
    dst->attr.group = src->attr.group;
  }
  template <int kFlag>
  static HostBool GetObjectFlag(ObjectHandle o) {
    static constexpr const char* kNames[6] = {"GetObjectFlagA", "GetObjectFlagB", "GetObjectFlagC",
                                              "GetObjectFlagD", "GetObjectFlagE", "GetObjectFlagF"};
    HOST_BEGIN(kSelGetObjectFlagA + kFlag, kNames[kFlag], 0, o);
    Object* obj = Live(h, routine, o);
    return obj != nullptr ? obj->attr.flags[kFlag] : 0;
  }
  template <int kFlag>
  static void SetObjectFlag(ObjectHandle o) {
    static constexpr const char* kNames[6] = {"SetObjectFlagA", "SetObjectFlagB", "SetObjectFlagC",
                                              "SetObjectFlagD", "SetObjectFlagE", "SetObjectFlagF"};
    HOST_BEGIN(kSelSetObjectFlagA + kFlag, kNames[kFlag], , o);
    if (Object* obj = Live(h, routine, o)) obj->attr.flags[kFlag] = h->True();
  }
  static int32_t GetObjectLongAttrC(ObjectHandle o) {
    HOST_BEGIN(kSelGetObjectLongAttrC, "GetObjectLongAttrC", 0, o);
    Object* obj = Live(h, routine, o);
    return obj != nullptr ? obj->attr.longC : 0;
  }
  static int32_t GetObjectLongAttrB(ObjectHandle o) {
    HOST_BEGIN(kSelGetObjectLongAttrB, "GetObjectLongAttrB", 0, o);
    Object* obj = Live(h, routine, o);
    return obj != nullptr ? obj->attr.longB : 0;
  }

  // ---- lines, arcs and points ----

  static ObjectHandle CreateLine(const HostWorldPt* first, const HostWorldPt* second) {
    HOST_BEGIN(kSelCreateLine, "CreateLine", 0, first, second);
    if (!NotNull(h, routine, first, "first point") || !NotNull(h, routine, second, "second point"))
      return 0;
    if (h->settings.createLineFails) return 0;
    Object o;
    o.type = kLineType;
    o.first = *first;
    o.second = *second;
    return h->InsertNew(o);
  }
  static void GetLineEnds(ObjectHandle o, HostWorldPt* first, HostWorldPt* second) {
    HOST_BEGIN(kSelGetLineEnds, "GetLineEnds", , o);
    Object* obj = OfType(h, routine, o, kLineType);
    if (obj == nullptr || !NotNull(h, routine, first, "first point") ||
        !NotNull(h, routine, second, "second point"))
      return;
    *first = obj->first;
    *second = obj->second;
  }
  static void SetLineEnds(ObjectHandle o, const HostWorldPt* first, const HostWorldPt* second) {
    HOST_BEGIN(kSelSetLineEnds, "SetLineEnds", , o, first, second);
    Object* obj = OfType(h, routine, o, kLineType);
    if (obj == nullptr || !NotNull(h, routine, first, "first point") ||
        !NotNull(h, routine, second, "second point"))
      return;
    obj->first = *first;
    obj->second = *second;
  }
  static void GetArcGeometry(ObjectHandle o, double* startDeg, double* sweepDeg, HostWorldPt* center,
                             double* hRadius, double* vRadius) {
    HOST_BEGIN(kSelGetArcGeometry, "GetArcGeometry", , o);
    Object* obj = OfType(h, routine, o, kArcType);
    if (obj == nullptr || !NotNull(h, routine, startDeg, "start") ||
        !NotNull(h, routine, sweepDeg, "sweep") || !NotNull(h, routine, center, "centre") ||
        !NotNull(h, routine, hRadius, "horizontal radius") ||
        !NotNull(h, routine, vRadius, "vertical radius"))
      return;
    *startDeg = obj->startDeg;
    *sweepDeg = obj->sweepDeg;
    *center = obj->center;
    *hRadius = obj->hRadius;
    *vRadius = obj->vRadius;
  }
  static void SetArcAngles(ObjectHandle o, double startDeg, double sweepDeg) {
    HOST_BEGIN(kSelSetArcAngles, "SetArcAngles", , o, startDeg, sweepDeg);
    Object* obj = OfType(h, routine, o, kArcType);
    if (obj == nullptr) return;
    obj->startDeg = startDeg;
    obj->sweepDeg = sweepDeg;
  }
  static void GetObjectPoint(ObjectHandle o, HostWorldPt* out) {
    HOST_BEGIN(kSelGetObjectPoint, "GetObjectPoint", , o);
    Object* obj = OfType(h, routine, o, kPointType);
    if (obj == nullptr || !NotNull(h, routine, out, "out point")) return;
    *out = obj->point;
  }
  static void GetObjectPoint3D(ObjectHandle o, HostWorldPt3D* out) {
    HOST_BEGIN(kSelGetObjectPoint3D, "GetObjectPoint3D", , o);
    Object* obj = OfType(h, routine, o, kPoint3DType);
    if (obj == nullptr || !NotNull(h, routine, out, "out point")) return;
    *out = obj->point3d;
  }
  static void GetObjectPoints3D(ObjectHandle o, HostWorldPt3D* outFour) {
    HOST_BEGIN(kSelGetObjectPoints3D, "GetObjectPoints3D", , o);
    Object* obj = OfType(h, routine, o, kFourPoints3DType);
    if (obj == nullptr || !NotNull(h, routine, outFour, "out points")) return;
    const Object& face = *obj;
    std::copy(face.points3d.begin(), face.points3d.end(), outFour);
  }

  // ---- vertex-list objects ----

  static ObjectHandle CreatePolyline() {
    HOST_BEGIN(kSelCreatePolyline, "CreatePolyline", 0);
    if (h->settings.createPolylineFails) return 0;
    Object o;
    o.type = h->settings.newPolylineType;
    return h->InsertNew(o);
  }
  static void AddVertex(ObjectHandle o, const HostWorldPt* p, int32_t vertexType, const double* radius,
                        HostBool flag) {
    HOST_BEGIN(kSelAddVertex, "AddVertex", , o, p, vertexType,
               radius != nullptr ? *radius : 0.0, flag);
    Object* obj = VertexObject(h, routine, o, false);
    if (obj == nullptr || !NotNull(h, routine, p, "point") || !NotNull(h, routine, radius, "radius"))
      return;
    if (obj->vertices.size() >= 32767) {
      Violation(h, routine, "more than 32767 vertices");
      return;
    }
    obj->vertices.push_back(Vertex{*p, vertexType, *radius});
  }
  static void SetVertex(ObjectHandle o, int16_t index, const HostWorldPt* p, int32_t vertexType,
                        const double* radius, HostBool flag) {
    HOST_BEGIN(kSelSetVertex, "SetVertex", , o, index, p, vertexType,
               radius != nullptr ? *radius : 0.0, flag);
    Object* obj = VertexObject(h, routine, o, false);
    if (obj == nullptr || !Index(h, routine, *obj, index) || !NotNull(h, routine, p, "point") ||
        !NotNull(h, routine, radius, "radius"))
      return;
    obj->vertices[index - 1] = Vertex{*p, vertexType, *radius};
  }
  static void DeleteVertex(ObjectHandle o, int16_t index) {
    HOST_BEGIN(kSelDeleteVertex, "DeleteVertex", , o, index);
    Object* obj = VertexObject(h, routine, o, true);
    if (obj == nullptr || !Index(h, routine, *obj, index)) return;
    if (obj->type == kVertexList3DType)
      obj->vertices3d.erase(obj->vertices3d.begin() + (index - 1));
    else
      obj->vertices.erase(obj->vertices.begin() + (index - 1));
  }
  static int16_t GetVertexCount(ObjectHandle o) {
    HOST_BEGIN(kSelGetVertexCount, "GetVertexCount", 0, o);
    Object* obj = VertexObject(h, routine, o, true);
    if (obj == nullptr) return 0;
    return static_cast<int16_t>(std::min<size_t>(VertexCount(*obj), 32767));
  }
  static void GetVertex(ObjectHandle o, int16_t index, HostWorldPt* p, int32_t* vertexType,
                        double* radius) {
    HOST_BEGIN(kSelGetVertex, "GetVertex", , o, index);
    Object* obj = VertexObject(h, routine, o, false);
    if (obj == nullptr || !Index(h, routine, *obj, index) || !NotNull(h, routine, p, "out point") ||
        !NotNull(h, routine, vertexType, "out type") || !NotNull(h, routine, radius, "out radius"))
      return;
    const Vertex& v = obj->vertices[index - 1];
    *p = v.p;
    *vertexType = v.type;
    *radius = v.radius;
  }
  static void GetVertex3D(ObjectHandle o, int16_t index, HostWorldPt3D* p) {
    HOST_BEGIN(kSelGetVertex3D, "GetVertex3D", , o, index);
    Object* obj = VertexObject(h, routine, o, true);
    if (obj == nullptr || !Index(h, routine, *obj, index) || !NotNull(h, routine, p, "out point"))
      return;
    if (obj->type == kVertexList3DType) {
      *p = obj->vertices3d[index - 1];
    } else {
      const Vertex& v = obj->vertices[index - 1];
      *p = HostWorldPt3D{v.p.x, v.p.y, 0.0};
    }
  }
  static HostBool IsPolyClosed(ObjectHandle o) {
    HOST_BEGIN(kSelIsPolyClosed, "IsPolyClosed", 0, o);
    Object* obj = VertexObject(h, routine, o, true);
    return obj != nullptr ? Answer(h, obj->closed) : 0;
  }
  static void SetPolyClosed(ObjectHandle o, HostBool closed) {
    HOST_BEGIN(kSelSetPolyClosed, "SetPolyClosed", , o, closed);
    if (Object* obj = VertexObject(h, routine, o, true)) obj->closed = closed != 0;
  }
  static void ResetObject(ObjectHandle o) {
    HOST_BEGIN(kSelResetObject, "ResetObject", , o);
    Live(h, routine, o);
  }
  static HostBool PrepareObject(ObjectHandle o) {
    HOST_BEGIN(kSelPrepareObject, "PrepareObject", 0, o);
    return Live(h, routine, o) != nullptr ? h->True() : 0;
  }
  static ObjectHandle ConvertToPolyline(ObjectHandle o, HostBool flag) {
    HOST_BEGIN(kSelConvertToPolyline, "ConvertToPolyline", 0, o, flag);
    Object* obj = OfType(h, routine, o, kArcType);
    if (obj == nullptr || h->settings.convertToPolylineFails) return 0;
    std::vector<Vertex> vertices = ArcToVertices(*obj);
    ObjectHandle target = h->settings.convertInPlace ? o : h->Replace(o);
    Object& t = h->slots_[target].obj;
    t.type = kCurvedVertexListType;
    t.vertices = std::move(vertices);
    t.closed = false;
    return target;
  }
  static ObjectHandle ConvertToType5Object(ObjectHandle o, HostBool flag) {
    HOST_BEGIN(kSelConvertToType5Object, "ConvertToType5Object", 0, o, flag);
    Object* obj = OfType(h, routine, o, kCurvedVertexListType);
    if (obj == nullptr || h->settings.convertToType5Fails) return 0;
    ObjectHandle target = h->settings.convertInPlace ? o : h->Replace(o);
    h->slots_[target].obj.type = kVertexListType;
    return target;
  }

#undef HOST_BEGIN
};

namespace {

bool IsDialogSelector(int32_t sel) {
  switch (sel) {
    case kSelCreateLayoutDialog: case kSelCreateCheckBox: case kSelCreateStaticText:
    case kSelCreateEditReal: case kSelSetItemHelpText: case kSelSetFirstLayoutItem:
    case kSelPlaceItemBelow: case kSelPlaceItemRight: case kSelVerifyLayout:
    case kSelRunLayoutDialog: case kSelSetBooleanItem: case kSelEnableItem: case kSelGetEditReal:
      return true;
    default:
      return false;
  }
}

struct Table {
  void* fn[Host::kSelectorRange] = {};
  uint8_t dialog[Host::kSelectorRange] = {};

  template <typename F>
  void Set(int32_t sel, F f) {
    fn[sel] = reinterpret_cast<void*>(f);
  }

  Table() {
    using R = Routines;
    // Each entry is checked against the routine type the interface fixes.
    Set<ConfirmCommandFn>(kSelConfirmCommand, &R::ConfirmCommand);
    Set<SetCommandModeFn>(kSelSetCommandMode, &R::SetCommandMode);
    Set<ConvertToWorldLengthFn>(kSelConvertToWorldLength, &R::ConvertToWorldLength);
    Set<GetHostPointFn>(kSelGetHostPoint, &R::GetHostPoint);
    Set<SetHostPointFn>(kSelSetHostPoint, &R::SetHostPoint);
    Set<SetHostUpdatesFn>(kSelSetHostUpdates, &R::SetHostUpdates);
    Set<FinishObjectChangesFn>(kSelFinishObjectChanges, &R::FinishObjectChanges);
    Set<RefreshHostFn>(kSelRefreshHost, &R::RefreshHost);
    Set<AllocateHandleFn>(kSelAllocateHandle, &R::AllocateHandle);
    Set<FreeHandleFn>(kSelFreeHandle, &R::FreeHandle);
    Set<GetResourceStringFn>(kSelGetResourceString, &R::GetResourceString);
    Set<AddClassFn>(kSelAddClass, &R::AddClass);
    Set<DeleteClassFn>(kSelDeleteClass, &R::DeleteClass);
    Set<SetClassStateFn>(kSelSetClassState, &R::SetClassState);
    Set<ForEachObjectFn>(kSelForEachObject, &R::ForEachObject);
    Set<NextObjectFn>(kSelNextObject, &R::NextObject);
    Set<GetObjectTypeFn>(kSelGetObjectType, &R::GetObjectType);
    Set<GetObjectBoundsFn>(kSelGetObjectBounds, &R::GetObjectBounds);
    Set<DeleteObjectFn>(kSelDeleteObject, &R::DeleteObject);
    Set<GetObjectClassFn>(kSelGetObjectClass, &R::GetObjectClass);
    Set<SetObjectClassFn>(kSelSetObjectClass, &R::SetObjectClass);
    Set<GetObjectLongAttrFn>(kSelGetObjectLongAttr, &R::GetObjectLongAttr);
    Set<SetObjectLongAttrFn>(kSelSetObjectLongAttr, &R::SetObjectLongAttr);
    Set<GetObjectWordAttrAFn>(kSelGetObjectWordAttrA, &R::GetObjectWordAttrA);
    Set<SetObjectWordAttrAFn>(kSelSetObjectWordAttrA, &R::SetObjectWordAttrA);
    Set<GetObjectWordAttrBFn>(kSelGetObjectWordAttrB, &R::GetObjectWordAttrB);
    Set<SetObjectWordAttrBFn>(kSelSetObjectWordAttrB, &R::SetObjectWordAttrB);
    Set<GetObjectAttrRecordFn>(kSelGetObjectAttrRecord, &R::GetObjectAttrRecord);
    Set<SetObjectAttrRecordFn>(kSelSetObjectAttrRecord, &R::SetObjectAttrRecord);
    Set<CopyObjectAttributesFn>(kSelCopyObjectAttributes, &R::CopyObjectAttributes);
    Set<GetObjectFlagFn>(kSelGetObjectFlagA, &R::GetObjectFlag<0>);
    Set<GetObjectFlagFn>(kSelGetObjectFlagB, &R::GetObjectFlag<1>);
    Set<GetObjectFlagFn>(kSelGetObjectFlagC, &R::GetObjectFlag<2>);
    Set<GetObjectFlagFn>(kSelGetObjectFlagD, &R::GetObjectFlag<3>);
    Set<GetObjectFlagFn>(kSelGetObjectFlagE, &R::GetObjectFlag<4>);
    Set<GetObjectFlagFn>(kSelGetObjectFlagF, &R::GetObjectFlag<5>);
    Set<SetObjectFlagFn>(kSelSetObjectFlagA, &R::SetObjectFlag<0>);
    Set<SetObjectFlagFn>(kSelSetObjectFlagB, &R::SetObjectFlag<1>);
    Set<SetObjectFlagFn>(kSelSetObjectFlagC, &R::SetObjectFlag<2>);
    Set<SetObjectFlagFn>(kSelSetObjectFlagD, &R::SetObjectFlag<3>);
    Set<SetObjectFlagFn>(kSelSetObjectFlagE, &R::SetObjectFlag<4>);
    Set<SetObjectFlagFn>(kSelSetObjectFlagF, &R::SetObjectFlag<5>);
    Set<GetObjectLongAttrCFn>(kSelGetObjectLongAttrC, &R::GetObjectLongAttrC);
    Set<GetObjectLongAttrBFn>(kSelGetObjectLongAttrB, &R::GetObjectLongAttrB);
    Set<CreateLineFn>(kSelCreateLine, &R::CreateLine);
    Set<GetLineEndsFn>(kSelGetLineEnds, &R::GetLineEnds);
    Set<SetLineEndsFn>(kSelSetLineEnds, &R::SetLineEnds);
    Set<GetArcGeometryFn>(kSelGetArcGeometry, &R::GetArcGeometry);
    Set<SetArcAnglesFn>(kSelSetArcAngles, &R::SetArcAngles);
    Set<GetObjectPointFn>(kSelGetObjectPoint, &R::GetObjectPoint);
    Set<GetObjectPoint3DFn>(kSelGetObjectPoint3D, &R::GetObjectPoint3D);
    Set<GetObjectPoints3DFn>(kSelGetObjectPoints3D, &R::GetObjectPoints3D);
    Set<CreatePolylineFn>(kSelCreatePolyline, &R::CreatePolyline);
    Set<AddVertexFn>(kSelAddVertex, &R::AddVertex);
    Set<SetVertexFn>(kSelSetVertex, &R::SetVertex);
    Set<DeleteVertexFn>(kSelDeleteVertex, &R::DeleteVertex);
    Set<GetVertexCountFn>(kSelGetVertexCount, &R::GetVertexCount);
    Set<GetVertexFn>(kSelGetVertex, &R::GetVertex);
    Set<GetVertex3DFn>(kSelGetVertex3D, &R::GetVertex3D);
    Set<IsPolyClosedFn>(kSelIsPolyClosed, &R::IsPolyClosed);
    Set<SetPolyClosedFn>(kSelSetPolyClosed, &R::SetPolyClosed);
    Set<ResetObjectFn>(kSelResetObject, &R::ResetObject);
    Set<PrepareObjectFn>(kSelPrepareObject, &R::PrepareObject);
    Set<ConvertToPolylineFn>(kSelConvertToPolyline, &R::ConvertToPolyline);
    Set<ConvertToType5ObjectFn>(kSelConvertToType5Object, &R::ConvertToType5Object);
    for (int32_t s = 0; s < Host::kSelectorRange; ++s) dialog[s] = IsDialogSelector(s) ? 1 : 0;
  }
};

const Table kTable;

}  // namespace

void* Dispatch(int32_t selector) {
  if (selector < 0 || selector >= Host::kSelectorRange) return nullptr;
  Host* h = CurrentHost();
  if (h == nullptr || h->Missing(selector)) return nullptr;
  if (kTable.dialog[selector]) return DialogRoutine(selector);
  return kTable.fn[selector];
}

// ---- string resources ----

namespace {

constexpr const char* kList11000[] = {
    "OK",
    "Cancel",
    "Flatten 3D polylines",
    "Remove degenerate objects",
    "Remove points",
    "Remove duplicates",
    "Merge overlapping lines and arcs",
    "Tidy vertices",
    "Join connected segments",
    "Include arcs when joining",
    "Reduce vertices",
    "Point tolerance:",
    "Clean Up Drawing",
    "Clean up the objects of the active drawing?",
    "More clean-up:",
    "Match within the point tolerance",
    "Along polyline edges too",
    "Repeat until nothing changes",
    "Ignore layer",
    "Ignore colour",
    "Ignore lineweight",
    "Ignore linetype",
};

// Help texts of dialog items 0 (the dialog itself) to 14.
constexpr const char* kList11001[] = {
    "Cleans up the objects of the active drawing.",
    "Runs the clean-up with the options chosen.",
    "Closes the dialog without changing the drawing.",
    "Turns 3D polylines into flat lines and polylines.",
    "Removes objects too small to see.",
    "Removes every point object.",
    "Removes objects that duplicate a later object.",
    "Merges collinear lines that overlap or touch, and overlapping arcs of one circle.",
    "Closes shapes whose ends meet and drops corners that lie on a straight line.",
    "Joins lines and open polylines that meet end to end into one polyline.",
    "Lets arcs join as well.",
    "Drops corners that lie within the point tolerance of a straight run.",
    "The distance within which two points count as one.",
    "Two points closer than this count as one.",
    "The size below which an object counts as degenerate.",
    "Options that go beyond the passes above.",
    "Duplicates and overlaps match when their points lie within the point tolerance.",
    "Duplicates and overlaps also look at the edges of polylines.",
    "Runs the chosen passes again while a round changes anything, eight rounds at most.",
    "Objects that differ only in layer still count as duplicates or overlaps.",
    "Objects that differ only in colour still count as duplicates or overlaps.",
    "Objects that differ only in lineweight still count as duplicates or overlaps.",
    "Objects that differ only in linetype still count as duplicates or overlaps.",
};

}  // namespace

namespace {
std::string& MarkerClassNameText() {
  static std::string name = kDefaultMarkerClassName;
  return name;
}
}  // namespace

void SetMarkerClassName(const std::string& name) { MarkerClassNameText() = name; }

const char* ResourceText(int16_t listId, int16_t index) {
  switch (listId) {
    case 11000:
      if (index >= 1 && index <= int16_t(std::size(kList11000))) return kList11000[index - 1];
      return nullptr;
    case 11001:
      if (index >= 1 && index <= int16_t(std::size(kList11001))) return kList11001[index - 1];
      return nullptr;
    case 11003:
      if (index == 11) return MarkerClassNameText().c_str();
      return nullptr;
    default:
      return nullptr;
  }
}

}  // namespace hostapp
