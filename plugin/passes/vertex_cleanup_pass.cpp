// Tidies vertex-list objects: flat ones (types 5 and 21) through
// CleanUpVertices, after turning curve-free type-21 objects into type 5;
// three-dimensional ones (type 25) lose coincident neighbouring vertices.
#include <cmath>
#include <cstdint>

#include "base/object_types.h"
#include "base/run_globals.h"
#include "base/world_types.h"
#include "geometry/cleanup_vertices.h"
#include "host/host_calls.h"
#include "passes/passes.h"

namespace {

// Two points coincide within this share of the point tolerance per axis,
// the same measure the flat comparisons use.
constexpr double kCoincidenceDivisor = 100.0;

// Each axis of q - p within gPointTolerance / 100, limits included; a NaN
// difference fails.
bool PointsWithinTolerance3D(WorldPt3D p, WorldPt3D q) {
  const double limit = gPointTolerance / kCoincidenceDivisor;
  return std::fabs(q.x - p.x) <= limit && std::fabs(q.y - p.y) <= limit &&
         std::fabs(q.z - p.z) <= limit;
}

WorldPt3D ReadVertex3D(CallbackPtr cbp, ObjectHandle object, int16_t index) {
  WorldPt3D p(0.0, 0.0, 0.0);  // stays zero when the host lacks the routine
  GetVertex3D(cbp, object, index, &p);
  return p;
}

// True when a vertex before the last one is anything but a plain corner.
bool HasCurvedVertex(CallbackPtr cbp, ObjectHandle object) {
  bool curved = false;
  // The count is asked afresh each time; the last vertex is not examined.
  for (int16_t i = 1; i < GetVertexCount(cbp, object); ++i) {
    WorldPt p(0.0, 0.0);
    int32_t vertexType = kPlainCorner;
    double radius = 0.0;
    GetVertex(cbp, object, i, &p, &vertexType, &radius);
    if (vertexType != kPlainCorner) curved = true;
  }
  return curved;
}

void RemoveDuplicateVertices3D(CallbackPtr cbp, ObjectHandle object) {
  // Fewer than two vertices would compare vertex 1 with itself or read vertex 0.
  if (GetVertexCount(cbp, object) < 2) return;

  // The index advances after a removal too, so a run of k coincident
  // vertices keeps ceil(k/2) of them.
  for (int16_t i = 1; i < GetVertexCount(cbp, object); ++i) {
    const WorldPt3D p = ReadVertex3D(cbp, object, i);
    const WorldPt3D q = ReadVertex3D(cbp, object, static_cast<int16_t>(i + 1));
    if (PointsWithinTolerance3D(p, q)) DeleteVertex(cbp, object, i);
  }

  // A single vertex left would be compared with itself and deleted.
  const int16_t n = GetVertexCount(cbp, object);
  if (n < 2) return;
  const WorldPt3D first = ReadVertex3D(cbp, object, 1);
  const WorldPt3D last = ReadVertex3D(cbp, object, n);
  if (PointsWithinTolerance3D(first, last)) {
    DeleteVertex(cbp, object, n);
    SetPolyClosed(cbp, object, 1);
  }
}

}  // namespace

void CleanUpVertexObject(ObjectHandle object, CallbackPtr cbp) {
  int16_t type = GetObjectType(cbp, object);
  if (type == kCurvedVertexListType && !HasCurvedVertex(cbp, object)) {
    // The host may stand a new object in for the old one; when it refuses
    // (answers 0) the old handle still names the unconverted object.
    const ObjectHandle converted = ConvertToType5Object(cbp, object, 0);
    if (converted != 0) {
      object = converted;
      type = kVertexListType;
    }
  }
  if (IsFlatVertexList(type)) {
    CleanUpVertices(cbp, object);
  } else if (type == kVertexList3DType) {
    RemoveDuplicateVertices3D(cbp, object);
  }
}
