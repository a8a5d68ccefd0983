// Deletes an object when a later object of the same kind has the same
// geometry and, for most kinds, the same attributes. The later copy stays, so
// of a run of identical objects only the last one survives.
//
// Only objects after the visited one (by NextObject) are candidates. All
// geometric equalities are CoordsEqual with kCoordEpsilon, except the arc
// radii and angles, which must be exactly equal; the run's tolerances play
// no part here.
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "attributes/attributes.h"
#include "base/object_types.h"
#include "base/run_deviation.h"
#include "base/run_globals.h"
#include "geometry/arc_info.h"
#include "geometry/coords.h"
#include "geometry/near_match.h"
#include "host/host_calls.h"
#include "index/candidate_index.h"
#include "passes/passes.h"

namespace {


// Out-records start as NaN: a missing host routine leaves them untouched, and
// NaN equals nothing, so geometry the host could not give never matches.
constexpr double kUnread = std::numeric_limits<double>::quiet_NaN();
constexpr WorldPt kUnreadPt{kUnread, kUnread};
constexpr WorldPt3D kUnreadPt3D{kUnread, kUnread, kUnread};

// The visited object, read once before the search.
struct Visited {
  ObjectHandle object = 0;
  int16_t type = 0;
  WorldPt first = kUnreadPt;  // line ends; a type-17 point in `first`
  WorldPt second = kUnreadPt;
  WorldPt3D points[4] = {kUnreadPt3D, kUnreadPt3D, kUnreadPt3D, kUnreadPt3D};
  WorldRect bounds;   // default empty
  int32_t value = 0;  // GetObjectLongAttrB (10) or GetObjectLongAttrC (15)
  ArcInfo arc{};
};


bool AcceptsCandidate(int16_t visitedType, int16_t candidateType) {
  if (IsFlatVertexList(visitedType)) return IsFlatVertexList(candidateType);
  return candidateType == visitedType;
}

bool Matches(CallbackPtr cbp, ObjectHandle candidate) {
  return MatchesRememberedAttributes(cbp, candidate) != 0;
}

// Same count n and vertex i of a equal to vertex i of b for every i; the
// vertex type and radius are not compared. A count of 0 or less is a match.
bool SameVertices(CallbackPtr cbp, ObjectHandle a, ObjectHandle b) {
  const int16_t count = GetVertexCount(cbp, a);
  if (GetVertexCount(cbp, b) != count) return false;
  // An int loop: a 16-bit counter would wrap at a count of 32767.
  for (int32_t i = 1; i <= count; ++i) {
    const auto index = static_cast<int16_t>(i);
    WorldPt pa = kUnreadPt;
    WorldPt pb = kUnreadPt;
    int32_t vertexType = 0;
    double radius = 0;
    GetVertex(cbp, a, index, &pa, &vertexType, &radius);
    GetVertex(cbp, b, index, &pb, &vertexType, &radius);
    if (pa != pb) return false;
  }
  return true;
}

// Reads what the visited object's type compares; false for types this pass
// leaves alone.
bool ReadVisited(CallbackPtr cbp, Visited& v) {
  switch (v.type) {
    case kLineType:
      GetLineEnds(cbp, v.object, &v.first, &v.second);
      return true;
    case kBoxType3:
    case kBoxType4:
      GetObjectBounds(cbp, v.object, &v.bounds);
      // Bounds are all these types are compared by: without them every such
      // object would match every other, so an unreadable one is kept.
      return !IsEmpty(v.bounds);
    case kVertexListType:
    case kCurvedVertexListType:
      GetObjectBounds(cbp, v.object, &v.bounds);
      return true;
    case kArcType:
      GetObjectBounds(cbp, v.object, &v.bounds);
      v.arc = MakeArcInfo(cbp, v.object);  // rewrites a negative sweep
      return true;
    case kPoint3DType:
      GetObjectPoint3D(cbp, v.object, &v.points[0]);
      return true;
    case kValueBoxType:
      v.value = GetObjectLongAttrB(cbp, v.object);
      GetObjectBounds(cbp, v.object, &v.bounds);
      return !IsEmpty(v.bounds);  // as for types 3 and 4
    case kFourPoints3DType:
      v.value = GetObjectLongAttrC(cbp, v.object);
      GetObjectPoints3D(cbp, v.object, v.points);
      return true;
    case kPointType:
      GetObjectPoint(cbp, v.object, &v.first);
      return true;
    default:
      return false;
  }
}

// Reads the candidate the same way and applies the tests of v's type, in
// order, stopping at the first that fails.
bool IsDuplicate(CallbackPtr cbp, const Visited& v, ObjectHandle candidate) {
  switch (v.type) {
    case kLineType: {
      WorldPt first = kUnreadPt;
      WorldPt second = kUnreadPt;
      GetLineEnds(cbp, candidate, &first, &second);
      const bool sameEnds =
          (v.first == first && v.second == second) || (v.first == second && v.second == first);
      return sameEnds && Matches(cbp, candidate);
    }
    case kBoxType3:
    case kBoxType4: {
      WorldRect bounds;
      GetObjectBounds(cbp, candidate, &bounds);
      return v.bounds == bounds && Matches(cbp, candidate);
    }
    case kVertexListType:
    case kCurvedVertexListType: {
      WorldRect bounds;
      GetObjectBounds(cbp, candidate, &bounds);
      // A closed list draws its closing edge; an open copy does not draw
      // all of it, so it cannot stand in for it.
      return v.bounds == bounds && Matches(cbp, candidate) &&
             SameVertices(cbp, v.object, candidate) &&
             !(IsPolyClosed(cbp, v.object) && !IsPolyClosed(cbp, candidate));
    }
    case kArcType: {
      WorldRect bounds;
      GetObjectBounds(cbp, candidate, &bounds);
      if (!(v.bounds == bounds && Matches(cbp, candidate))) return false;
      // Built only now, so only candidates that got this far are rewritten.
      const ArcInfo arc = MakeArcInfo(cbp, candidate);
      // Exact equality on purpose: start 30 and start 390 are different arcs.
      return v.arc.center == arc.center && v.arc.hRadius == arc.hRadius &&
             v.arc.vRadius == arc.vRadius && v.arc.startAngle == arc.startAngle &&
             v.arc.sweepAngle == arc.sweepAngle;
    }
    case kPoint3DType: {
      WorldPt3D point = kUnreadPt3D;
      GetObjectPoint3D(cbp, candidate, &point);
      return v.points[0] == point && Matches(cbp, candidate);
    }
    case kValueBoxType: {
      WorldRect bounds;
      GetObjectBounds(cbp, candidate, &bounds);
      const int32_t value = GetObjectLongAttrB(cbp, candidate);
      return v.bounds == bounds && v.value == value && Matches(cbp, candidate);
    }
    case kFourPoints3DType: {
      // No attribute test for this type.
      const int32_t value = GetObjectLongAttrC(cbp, candidate);
      WorldPt3D points[4] = {kUnreadPt3D, kUnreadPt3D, kUnreadPt3D, kUnreadPt3D};
      GetObjectPoints3D(cbp, candidate, points);
      return v.value == value && v.points[3] == points[3] && v.points[0] == points[0] &&
             v.points[1] == points[1] && v.points[2] == points[2];
    }
    case kPointType: {
      WorldPt point = kUnreadPt;
      GetObjectPoint(cbp, candidate, &point);
      return v.first == point && Matches(cbp, candidate);
    }
    default:
      return false;
  }
}

// Where a duplicate of an object must lie: the box of what its type compares
// (line ends, bounds or points), which a duplicate matches within
// kCoordEpsilon. Objects of other types are never duplicates.
bool DuplicateKey(CallbackPtr cbp, ObjectHandle object, IndexBox* box) {
  Visited v;
  v.object = object;
  v.type = GetObjectType(cbp, object);
  switch (v.type) {
    case kLineType: {
      GetLineEnds(cbp, object, &v.first, &v.second);
      const WorldPt ends[2] = {v.first, v.second};
      *box = BoxOf(ends, 2);
      return true;
    }
    case kBoxType3:
    case kBoxType4:
    case kVertexListType:
    case kCurvedVertexListType:
    case kArcType:
    case kValueBoxType:
      GetObjectBounds(cbp, object, &v.bounds);
      *box = BoxOf(v.bounds);
      return true;
    case kPoint3DType:
      GetObjectPoint3D(cbp, object, &v.points[0]);
      *box = BoxOf(v.points, 1);
      return true;
    case kFourPoints3DType:
      GetObjectPoints3D(cbp, object, v.points);
      *box = BoxOf(v.points, 4);
      return true;
    case kPointType:
      GetObjectPoint(cbp, object, &v.first);
      *box = BoxOf(&v.first, 1);
      return true;
    default:
      return false;
  }
}

// The same box for the visited object, from what was read of it already.
IndexBox VisitedBox(const Visited& v) {
  switch (v.type) {
    case kLineType: {
      const WorldPt ends[2] = {v.first, v.second};
      return BoxOf(ends, 2);
    }
    case kPoint3DType:
      return BoxOf(v.points, 1);
    case kFourPoints3DType:
      return BoxOf(v.points, 4);
    case kPointType:
      return BoxOf(&v.first, 1);
    default:
      return BoxOf(v.bounds);
  }
}

// ---- Matching within the point tolerance ----

std::vector<VertexRead> ReadVertexList(CallbackPtr cbp, ObjectHandle object) {
  std::vector<VertexRead> v;
  const int count = GetVertexCount(cbp, object);
  if (count <= 0) return v;
  v.reserve(size_t(count));
  for (int i = 1; i <= count; ++i) v.push_back(ReadVertex(cbp, object, i));
  return v;
}

// The visited object's vertices, read at the first candidate that needs them.
struct VisitedVertices {
  bool read = false;
  bool closed = false;
  std::vector<VertexRead> list;
};

// How far the candidate lies from the visited object (see near_match.h), or
// NaN when it is not a near copy at all. Attributes are compared as for exact
// copies, and only once the geometry is close.
double NearGap(CallbackPtr cbp, const Visited& v, VisitedVertices& vertices, ObjectHandle candidate,
               double budget) {
  double gap = std::numeric_limits<double>::quiet_NaN();
  switch (v.type) {
    case kLineType: {
      WorldPt first = kUnreadPt, second = kUnreadPt;
      GetLineEnds(cbp, candidate, &first, &second);
      gap = LineGap(v.first, v.second, first, second);
      break;
    }
    case kPointType: {
      WorldPt point = kUnreadPt;
      GetObjectPoint(cbp, candidate, &point);
      gap = PointGap(v.first, point);
      break;
    }
    case kArcType: {
      WorldRect bounds;
      GetObjectBounds(cbp, candidate, &bounds);
      if (!(IsEmpty(v.bounds) || IsEmpty(bounds)) &&
          (std::fabs(v.bounds.left - bounds.left) > budget || std::fabs(v.bounds.right - bounds.right) > budget ||
           std::fabs(v.bounds.top - bounds.top) > budget || std::fabs(v.bounds.bottom - bounds.bottom) > budget))
        return gap;
      gap = ArcGap(v.arc, MakeArcInfo(cbp, candidate));
      break;
    }
    case kVertexListType:
    case kCurvedVertexListType: {
      if (!vertices.read) {
        vertices.read = true;
        vertices.list = ReadVertexList(cbp, v.object);
        vertices.closed = IsPolyClosed(cbp, v.object) != 0;
      }
      const std::vector<VertexRead> other = ReadVertexList(cbp, candidate);
      gap = VertexListGap(vertices.list, vertices.closed, other, IsPolyClosed(cbp, candidate) != 0, budget);
      break;
    }
    default:
      return gap;
  }
  if (!(gap <= budget) || !Matches(cbp, candidate)) return std::numeric_limits<double>::quiet_NaN();
  return gap;
}

}  // namespace

void RemoveDuplicateObject(ObjectHandle object, CallbackPtr cbp) {
  Visited visited;
  visited.object = object;
  visited.type = GetObjectType(cbp, object);
  RememberAttributes(cbp, object);  // for every object, whatever its type
  if (!ReadVisited(cbp, visited)) return;

  // With near matching on, a copy may lie within what is left of the point
  // tolerance for this object; otherwise (budget 0) only exact copies go.
  const double budget = NearBudget(object);
  const IndexBox box = VisitedBox(visited);
  IndexBox near = Grown(box, RoundingMargin(box));
  if (budget > 0) near = Grown(near, budget);
  StartCandidateSearch(cbp, object, DuplicateKey, &near, 1);
  ObjectHandle survivor = 0;
  double gap = 0;
  VisitedVertices vertices;
  try {
    for (ObjectHandle candidate = FirstCandidate(cbp, NextObject(cbp, object)); candidate != 0;
         candidate = NextCandidate(cbp, candidate)) {
      if (!AcceptsCandidate(visited.type, GetObjectType(cbp, candidate))) continue;
      if (IsDuplicate(cbp, visited, candidate)) {
        survivor = candidate;
        break;
      }
      if (budget > 0) {
        gap = NearGap(cbp, visited, vertices, candidate, budget);
        if (gap <= budget) {
          survivor = candidate;
          break;
        }
        gap = 0;
      }
    }
  } catch (...) {
    // No memory for a vertex list: this object is kept, as one with no copy.
    survivor = 0;
  }
  if (survivor == 0) return;
  if (gExtraOptions.nearMatch) CarryDeviation(object, survivor, gap);
  DeleteObject(cbp, object, 0);
}
