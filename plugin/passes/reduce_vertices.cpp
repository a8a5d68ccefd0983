// Thins out nearly straight runs of plain corners: from each anchor a window
// grows one vertex at a time while every inner corner lies within the point
// tolerance of the line from the anchor to the window's end; the inner
// corners of the last window that passed are removed.
#include <cmath>
#include <cstdint>

#include "driver/run_globals.h"
#include "geometry/cleanup_vertices.h"
#include "geometry/coords.h"
#include "geometry/object_types.h"
#include "geometry/vertex_read.h"
#include "geometry/world_types.h"
#include "host/host_calls.h"
#include "passes/passes.h"

namespace {


double SquaredDistance(WorldPt p, WorldPt q) {
  const WorldPt d = p - q;
  return d.x * d.x + d.y * d.y;
}

// Squared distance from p to the line through a and b; with a and b
// coinciding, the squared distance from p to a. Beyond either end it is the
// distance to that end: a corner far out along the line (where the outline
// turns back) is not near the straight run that would replace it, and
// dropping it would erase the stretch drawn out and back.
double SquaredDistanceToLine(WorldPt p, WorldPt a, WorldPt b) {
  const WorldPt u = b - a;
  const WorldPt w = p - a;
  WorldPt e = u;
  double length = 0.0;
  if (!(CoordsEqual(std::fabs(u.x), 0.0) && CoordsEqual(std::fabs(u.y), 0.0))) {
    length = std::sqrt(u.x * u.x + u.y * u.y);
    e = WorldPt(u.x / length, u.y / length);
  }
  const double t = e.x * w.x + e.y * w.y;
  if (length > 0.0 && t < 0.0) return SquaredDistance(p, a);
  if (length > 0.0 && t > length) return SquaredDistance(p, b);
  const WorldPt foot = a + e * t;
  const double dx = p.x - foot.x;
  const double dy = p.y - foot.y;
  return dx * dx + dy * dy;
}

// How far the window that starts at anchor i can grow: the number of inner
// corners of the last window whose every inner corner lay within tolerance.
// Every growth re-tests all inner corners against the line to the new end.
int GrowWindow(CallbackPtr cbp, ObjectHandle object, int i, int n, double tolSquared) {
  int j = i + 2;
  int count = 0;
  for (;;) {
    const VertexRead anchor = ReadVertex(cbp, object, i);
    bool growing = true;
    bool grew = false;
    for (int k = i + 1; k < j; ++k) {
      const VertexRead inner = ReadVertex(cbp, object, k);
      const VertexRead end = ReadVertex(cbp, object, j);
      if (anchor.type != kPlainCorner || inner.type != kPlainCorner ||
          end.type != kPlainCorner) {
        // Only plain corners bound or fill a window; the scan runs on, uncounted.
        growing = false;
        continue;
      }
      if (SquaredDistanceToLine(inner.p, anchor.p, end.p) > tolSquared) break;
      if (growing && k == j - 1) {
        ++j;
        ++count;
        grew = true;
        break;
      }
    }
    if (!grew || j > n) return count;
  }
}

}  // namespace

void ReduceVertices(ObjectHandle object, CallbackPtr cbp) {
  const double tolSquared = gPointTolerance * gPointTolerance;
  const int16_t type = GetObjectType(cbp, object);
  if (!IsFlatVertexList(type)) return;

  // When the vertex clean-up pass ran, every such object has been through it.
  if (!gFlag5Enabled) CleanUpVertices(cbp, object);

  // int, so that a window end one past a full 16-bit count cannot overflow.
  int n = GetVertexCount(cbp, object);
  const int first = n;
  for (int i = 1; i <= n - 2; ++i) {
    const int count = GrowWindow(cbp, object, i, n, tolSquared);
    if (count == 0) continue;
    // Highest index first, so the indices still to delete do not move.
    for (int k = i + count; k >= i + 1; --k) DeleteVertex(cbp, object, static_cast<int16_t>(k));
    n = GetVertexCount(cbp, object);
  }
  if (first > n) ResetObject(cbp, object);
}
