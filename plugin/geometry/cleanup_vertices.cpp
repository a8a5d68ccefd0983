#include "geometry/cleanup_vertices.h"

#include <cstdint>

#include "attributes/attributes.h"
#include "base/object_types.h"
#include "base/run_globals.h"
#include "geometry/coords.h"
#include "geometry/vertex_read.h"
#include "host/host_calls.h"

namespace {

// A vertex whose own type and its neighbours' add up to this or more is
// part of a curve and is never dropped as a corner.
constexpr int32_t kCurveTypeSum = 6;

// Whether mid lies between prev and next along the line they span. A corner
// where the outline turns back on itself (a spike) is collinear too, but
// dropping it would erase the stretch drawn out and back.
bool LiesBetween(const WorldPt& prev, const WorldPt& mid, const WorldPt& next) {
  const WorldPt span = next - prev;
  const WorldPt offset = mid - prev;
  const double along = span.x * offset.x + span.y * offset.y;
  const double spanSquared = span.x * span.x + span.y * span.y;
  if (spanSquared == 0.0) return mid == prev;  // out to mid and straight back
  return along >= 0.0 && along <= spanSquared;
}

// The middle vertex is a removable corner on the line through its neighbours.
// The type sum is taken in 64 bits so that extreme host types cannot overflow.
bool IsRedundantCorner(const VertexRead& prev, const VertexRead& mid, const VertexRead& next) {
  const int64_t typeSum = int64_t{prev.type} + mid.type + next.type;
  if (typeSum >= kCurveTypeSum) return false;
  if (mid.type != kPlainCorner) return false;
  return ArePointsCollinear(prev.p, next.p, mid.p) && LiesBetween(prev.p, mid.p, next.p);
}

}  // namespace

void CleanUpVertices(CallbackPtr cbp, ObjectHandle object) {
  int16_t n = GetVertexCount(cbp, object);
  // Nothing to close or straighten; reading "vertex n" would leave 1..n.
  if (n < 2) return;

  // Ends that meet: drop the last vertex and close the shape.
  const VertexRead first = ReadVertex(cbp, object, 1);
  const VertexRead last = ReadVertex(cbp, object, n);
  if (PointsWithinTolerance(first.p, last.p)) {
    DeleteVertex(cbp, object, n);
    SetPolyClosed(cbp, object, 1);
  }

  n = GetVertexCount(cbp, object);

  // Wrap-around corner of a closed shape; needs three distinct vertices to read.
  if (n >= 3 && IsPolyClosed(cbp, object)) {
    const VertexRead prev = ReadVertex(cbp, object, n);
    const VertexRead mid = ReadVertex(cbp, object, 1);
    const VertexRead next = ReadVertex(cbp, object, 2);
    if (IsRedundantCorner(prev, mid, next)) {
      DeleteVertex(cbp, object, 1);
      --n;
    }
  }

  // Interior corners. After a removal the index stays, so the vertex that
  // moved into place i is judged against its new neighbours.
  int16_t i = 2;
  while (i < n) {
    const VertexRead prev = ReadVertex(cbp, object, static_cast<int16_t>(i - 1));
    const VertexRead mid = ReadVertex(cbp, object, i);
    const VertexRead next = ReadVertex(cbp, object, static_cast<int16_t>(i + 1));
    if (IsRedundantCorner(prev, mid, next)) {
      DeleteVertex(cbp, object, i);
      --n;
    } else {
      ++i;
    }
  }

  n = GetVertexCount(cbp, object);
  if (n == 2) {
    const VertexRead p = ReadVertex(cbp, object, 1);
    const VertexRead q = ReadVertex(cbp, object, 2);
    const ObjectHandle line = CreateLine(cbp, &p.p, &q.p);
    // No line made: keep the object rather than sweep it away with nothing in its place.
    if (line != 0) {
      CopyAttributes(cbp, object, line);
      SetObjectClass(cbp, object, gMarkerClass);
      return;
    }
  }
  ResetObject(cbp, object);
}
