// What must hold after any run of the command through the project's host,
// whatever the drawing, the options and the host's faults: shared by the
// fuzz target and the fault-injection tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "hostapp/host.h"
#include "hostapp/objects.h"

namespace runaudit {

constexpr int kOptionFlags = 9;

// The drawing as it stood before the run: handle and record of every object.
using Snapshot = std::vector<std::pair<ObjectHandle, hostapp::Object>>;

inline Snapshot Take(const hostapp::Host& host) {
  Snapshot s;
  for (ObjectHandle h : host.Objects()) s.emplace_back(h, host.Get(h));
  return s;
}

// True when some pass switched on by `flags` may make an object of `type`
// disappear, by deleting it, marking it, or standing a converted object in
// its place.
inline bool PassMayRemove(const uint8_t (&flags)[kOptionFlags], int16_t type) {
  auto on = [&](int f) { return flags[f] != 0; };
  const bool vertexList = type == 5 || type == 21;
  if (on(0) && type == 25) return true;                      // flattened
  if (on(1) && type != 9 && type != 17) return true;         // degenerate
  if (on(2) && type == 17) return true;                      // type 17
  if (on(3)) {                                               // duplicates
    switch (type) {
      case 2: case 3: case 4: case 5: case 6: case 9: case 10: case 15: case 17: case 21:
        return true;
      default:
        break;
    }
  }
  if (on(4) && (type == 2 || type == 6)) return true;        // merged
  if (on(5) && vertexList) return true;                      // became a line
  if (on(6) && (type == 2 || vertexList || (on(7) && type == 6))) return true;  // joined
  if (on(8) && vertexList) return true;                      // became a line
  return false;
}

inline bool SameDouble(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
inline bool SamePt(const HostWorldPt& a, const HostWorldPt& b) {
  return SameDouble(a.x, b.x) && SameDouble(a.y, b.y);
}
inline bool SamePt3(const HostWorldPt3D& a, const HostWorldPt3D& b) {
  return SameDouble(a.x, b.x) && SameDouble(a.y, b.y) && SameDouble(a.z, b.z);
}

// Bit for bit, NaNs included: a run that may change nothing changes no bit.
inline bool Identical(const hostapp::Object& a, const hostapp::Object& b) {
  const hostapp::Attributes &p = a.attr, &q = b.attr;
  if (a.type != b.type || a.cls != b.cls || a.closed != b.closed) return false;
  if (p.wordA != q.wordA || p.wordB != q.wordB || p.longAttr != q.longAttr ||
      std::memcmp(p.record, q.record, 4) != 0 || std::memcmp(p.flags, q.flags, 6) != 0 ||
      p.longB != q.longB || p.longC != q.longC || p.group != q.group)
    return false;
  if (!SamePt(a.first, b.first) || !SamePt(a.second, b.second) || !SamePt(a.center, b.center) ||
      !SameDouble(a.startDeg, b.startDeg) || !SameDouble(a.sweepDeg, b.sweepDeg) ||
      !SameDouble(a.hRadius, b.hRadius) || !SameDouble(a.vRadius, b.vRadius) ||
      !SamePt(a.point, b.point) || !SamePt3(a.point3d, b.point3d))
    return false;
  for (int i = 0; i < 4; ++i)
    if (!SamePt3(a.points3d[i], b.points3d[i])) return false;
  if (!SameDouble(a.bounds.top, b.bounds.top) || !SameDouble(a.bounds.left, b.bounds.left) ||
      !SameDouble(a.bounds.bottom, b.bounds.bottom) || !SameDouble(a.bounds.right, b.bounds.right))
    return false;
  if (a.vertices.size() != b.vertices.size() || a.vertices3d.size() != b.vertices3d.size())
    return false;
  for (size_t i = 0; i < a.vertices.size(); ++i) {
    const hostapp::Vertex &u = a.vertices[i], &v = b.vertices[i];
    if (!SamePt(u.p, v.p) || u.type != v.type || !SameDouble(u.radius, v.radius)) return false;
  }
  for (size_t i = 0; i < a.vertices3d.size(); ++i)
    if (!SamePt3(a.vertices3d[i], b.vertices3d[i])) return false;
  return true;
}

// Where two runs of the same drawing ended apart: "" when both hosts hold the
// same objects in the same order, bit for bit, in classes of the same names,
// with the same contract violations. Handles may differ.
inline std::string EndStateDifference(const hostapp::Host& a, const hostapp::Host& b) {
  const std::vector<ObjectHandle> x = a.Objects(), y = b.Objects();
  if (x.size() != y.size())
    return std::to_string(x.size()) + " objects against " + std::to_string(y.size());
  for (size_t i = 0; i < x.size(); ++i) {
    const hostapp::Object &p = a.Get(x[i]), &q = b.Get(y[i]);
    hostapp::Object qInP = q;
    qInP.cls = p.cls;  // class ids are each host's own; their names must agree
    if (!Identical(p, qInP) || a.ClassName(p.cls) != b.ClassName(q.cls))
      return "object " + std::to_string(i + 1) + " in order differs (handles " + std::to_string(x[i]) +
             " and " + std::to_string(y[i]) + ")";
  }
  if (a.Violations() != b.Violations()) return "the contract violations differ";
  if (a.LiveBlocks() != b.LiveBlocks()) return "the memory blocks left differ";
  return "";
}

// What the run was allowed, and which routines the host lacked.
struct RunFacts {
  int32_t result = 0;                 // action 3's answer
  uint8_t flags[kOptionFlags] = {};   // the options the run accepted
  double tolerance1 = 0, tolerance2 = 0;  // its tolerances, before conversion to world units
  int missingRoutines = 0;            // routines the host lacked
  std::set<ClassId> drawingClasses;   // classes the drawing had before the run
  bool deleteClassMissing = false;
  bool freeHandleMissing = false;
  bool objectTypeMissing = false;     // every object then reads as type 0
};

// Everything that went wrong, one line each; empty when the run was sound.
inline std::vector<std::string> Audit(const hostapp::Host& host, const Snapshot& before,
                                      const RunFacts& facts) {
  std::vector<std::string> problems;
  for (const std::string& v : host.Violations()) problems.push_back("contract violation: " + v);
  if (!facts.freeHandleMissing && host.LiveBlocks() != 0)
    problems.push_back(std::to_string(host.LiveBlocks()) + " memory blocks left allocated");
  if (!host.UpdatesOn()) problems.push_back("host updates left off");

  const std::string marker = hostapp::ResourceText(11003, 11);
  if (!facts.deleteClassMissing && host.FindClass(marker).has_value())
    problems.push_back("marker class still exists");
  for (ObjectHandle h : host.Objects()) {
    const ClassId cls = host.Get(h).cls;
    if (cls != 0 && facts.drawingClasses.count(cls) == 0)
      problems.push_back("object " + std::to_string(h) + " left in class " + std::to_string(cls) +
                         ", which the drawing did not have");
  }

  // A stopped run ran no pass, whatever the options said.
  uint8_t flags[kOptionFlags] = {};
  if (facts.result == 0) std::memcpy(flags, facts.flags, sizeof flags);
  bool anyPass = false;
  for (int f = 0; f < kOptionFlags; ++f) anyPass = anyPass || (f != 7 && flags[f] != 0);

  if (!anyPass) {
    const std::vector<ObjectHandle> now = host.Objects();
    if (now.size() != before.size())
      problems.push_back("no pass ran, yet the drawing went from " + std::to_string(before.size()) +
                         " to " + std::to_string(now.size()) + " objects");
    for (const auto& [h, old] : before)
      if (!host.Alive(h) || !Identical(host.Get(h), old))
        problems.push_back("no pass ran, yet object " + std::to_string(h) + " changed");
    return problems;
  }
  for (const auto& [h, old] : before)
    if (!host.Alive(h) && !PassMayRemove(flags, facts.objectTypeMissing ? int16_t{0} : old.type))
      problems.push_back("object " + std::to_string(h) + " of type " + std::to_string(old.type) +
                         " vanished, and no enabled pass removes that type");
  return problems;
}

// Every routine of the host interface, by selector and name.
struct HostRoutine {
  int32_t selector;
  const char* name;
};
inline constexpr HostRoutine kHostRoutines[] = {
    {kSelConfirmCommand, "ConfirmCommand"},
    {kSelSetCommandMode, "SetCommandMode"},
    {kSelConvertToWorldLength, "ConvertToWorldLength"},
    {kSelGetHostPoint, "GetHostPoint"},
    {kSelSetHostPoint, "SetHostPoint"},
    {kSelSetHostUpdates, "SetHostUpdates"},
    {kSelFinishObjectChanges, "FinishObjectChanges"},
    {kSelRefreshHost, "RefreshHost"},
    {kSelAllocateHandle, "AllocateHandle"},
    {kSelFreeHandle, "FreeHandle"},
    {kSelGetResourceString, "GetResourceString"},
    {kSelAddClass, "AddClass"},
    {kSelDeleteClass, "DeleteClass"},
    {kSelSetClassState, "SetClassState"},
    {kSelCreateLayoutDialog, "CreateLayoutDialog"},
    {kSelCreateCheckBox, "CreateCheckBox"},
    {kSelCreateStaticText, "CreateStaticText"},
    {kSelCreateEditReal, "CreateEditReal"},
    {kSelSetItemHelpText, "SetItemHelpText"},
    {kSelSetFirstLayoutItem, "SetFirstLayoutItem"},
    {kSelPlaceItemBelow, "PlaceItemBelow"},
    {kSelPlaceItemRight, "PlaceItemRight"},
    {kSelVerifyLayout, "VerifyLayout"},
    {kSelRunLayoutDialog, "RunLayoutDialog"},
    {kSelSetBooleanItem, "SetBooleanItem"},
    {kSelEnableItem, "EnableItem"},
    {kSelGetEditReal, "GetEditReal"},
    {kSelForEachObject, "ForEachObject"},
    {kSelNextObject, "NextObject"},
    {kSelGetObjectType, "GetObjectType"},
    {kSelGetObjectBounds, "GetObjectBounds"},
    {kSelDeleteObject, "DeleteObject"},
    {kSelGetObjectClass, "GetObjectClass"},
    {kSelSetObjectClass, "SetObjectClass"},
    {kSelGetObjectLongAttr, "GetObjectLongAttr"},
    {kSelSetObjectLongAttr, "SetObjectLongAttr"},
    {kSelGetObjectWordAttrA, "GetObjectWordAttrA"},
    {kSelSetObjectWordAttrA, "SetObjectWordAttrA"},
    {kSelGetObjectWordAttrB, "GetObjectWordAttrB"},
    {kSelSetObjectWordAttrB, "SetObjectWordAttrB"},
    {kSelGetObjectAttrRecord, "GetObjectAttrRecord"},
    {kSelSetObjectAttrRecord, "SetObjectAttrRecord"},
    {kSelCopyObjectAttributes, "CopyObjectAttributes"},
    {kSelGetObjectFlagA, "GetObjectFlagA"},
    {kSelGetObjectFlagB, "GetObjectFlagB"},
    {kSelGetObjectFlagC, "GetObjectFlagC"},
    {kSelGetObjectFlagD, "GetObjectFlagD"},
    {kSelGetObjectFlagE, "GetObjectFlagE"},
    {kSelGetObjectFlagF, "GetObjectFlagF"},
    {kSelSetObjectFlagA, "SetObjectFlagA"},
    {kSelSetObjectFlagB, "SetObjectFlagB"},
    {kSelSetObjectFlagC, "SetObjectFlagC"},
    {kSelSetObjectFlagD, "SetObjectFlagD"},
    {kSelSetObjectFlagE, "SetObjectFlagE"},
    {kSelSetObjectFlagF, "SetObjectFlagF"},
    {kSelGetObjectLongAttrC, "GetObjectLongAttrC"},
    {kSelGetObjectLongAttrB, "GetObjectLongAttrB"},
    {kSelCreateLine, "CreateLine"},
    {kSelGetLineEnds, "GetLineEnds"},
    {kSelSetLineEnds, "SetLineEnds"},
    {kSelGetArcGeometry, "GetArcGeometry"},
    {kSelSetArcAngles, "SetArcAngles"},
    {kSelGetObjectPoint, "GetObjectPoint"},
    {kSelGetObjectPoint3D, "GetObjectPoint3D"},
    {kSelGetObjectPoints3D, "GetObjectPoints3D"},
    {kSelCreatePolyline, "CreatePolyline"},
    {kSelAddVertex, "AddVertex"},
    {kSelSetVertex, "SetVertex"},
    {kSelDeleteVertex, "DeleteVertex"},
    {kSelGetVertexCount, "GetVertexCount"},
    {kSelGetVertex, "GetVertex"},
    {kSelGetVertex3D, "GetVertex3D"},
    {kSelIsPolyClosed, "IsPolyClosed"},
    {kSelSetPolyClosed, "SetPolyClosed"},
    {kSelResetObject, "ResetObject"},
    {kSelPrepareObject, "PrepareObject"},
    {kSelConvertToPolyline, "ConvertToPolyline"},
    {kSelConvertToType5Object, "ConvertToType5Object"},
};

}  // namespace runaudit
