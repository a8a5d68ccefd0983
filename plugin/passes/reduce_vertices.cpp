// Thins out nearly straight runs of plain corners: from each anchor a window
// grows one vertex at a time while every inner corner lies within the point
// tolerance of the line from the anchor to the window's end; the inner
// corners of the last window that passed are removed.
#include <cmath>
#include <cstdint>

#include "base/object_types.h"
#include "base/run_globals.h"
#include "base/world_types.h"
#include "geometry/cleanup_vertices.h"
#include "geometry/coords.h"
#include "geometry/vertex_read.h"
#include "host/host_calls.h"
#include "index/thresholds.h"
#include "passes/passes.h"

namespace {

// The most vertices a 16-bit count can name.
constexpr int kMaxVertexCount = 32767;

double SquaredDistance(WorldPt p, WorldPt q) {
  const WorldPt d = p - q;
  return d.x * d.x + d.y * d.y;
}

// The line from a window's anchor to its end, worked out once per window.
struct WindowLine {
  WorldPt a, b;
  WorldPt e;      // unit direction; the zero vector when a and b coincide
  double length;  // 0 when a and b coincide
};

WindowLine LineThrough(WorldPt a, WorldPt b) {
  const WorldPt u = b - a;
  WindowLine line{a, b, u, 0.0};
  if (!(CoordsEqual(std::fabs(u.x), 0.0) && CoordsEqual(std::fabs(u.y), 0.0))) {
    line.length = std::sqrt(u.x * u.x + u.y * u.y);
    line.e = WorldPt(u.x / line.length, u.y / line.length);
  }
  return line;
}

// Squared distance from p to the line through a and b; with a and b
// coinciding, the squared distance from p to a. Beyond either end it is the
// distance to that end: a corner far out along the line (where the outline
// turns back) is not near the straight run that would replace it, and
// dropping it would erase the stretch drawn out and back.
double SquaredDistanceToLine(WorldPt p, const WindowLine& line) {
  const WorldPt w = p - line.a;
  const double t = line.e.x * w.x + line.e.y * w.y;
  if (line.length > 0.0 && t < 0.0) return SquaredDistance(p, line.a);
  if (line.length > 0.0 && t > line.length) return SquaredDistance(p, line.b);
  const WorldPt foot = line.a + line.e * t;
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
      if (SquaredDistanceToLine(inner.p, LineThrough(anchor.p, end.p)) > tolSquared) break;
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

// Anchors i from 1 on, reading every vertex through the host as often as the
// windows test it. The vertex count afterwards.
int ReduceThroughHost(CallbackPtr cbp, ObjectHandle object, int n, double tolSquared) {
  for (int i = 1; i <= n - 2; ++i) {
    const int count = GrowWindow(cbp, object, i, n, tolSquared);
    if (count == 0) continue;
    // Highest index first, so the indices still to delete do not move.
    for (int k = i + count; k >= i + 1; --k) DeleteVertex(cbp, object, static_cast<int16_t>(k));
    n = GetVertexCount(cbp, object);
  }
  return n;
}

// The vertices of the object being reduced in memory; slot 0 unused. Static,
// so a long object costs no allocation, and one object is reduced at a time.
VertexRead gVertices[kMaxVertexCount + 1];

void ReadVertices(CallbackPtr cbp, ObjectHandle object, int from, int to) {
  for (int m = from; m <= to; ++m) gVertices[m] = ReadVertex(cbp, object, m);
}

// GrowWindow's result from vertices in memory (v[m] is vertex m). A window
// [i, j] grows when all of i..j are plain corners and every inner one lies
// within tolerance; the order of the tests cannot change that.
int GrowWindowInMemory(const VertexRead* v, int i, int n, double tolSquared) {
  if (v[i].type != kPlainCorner || v[i + 1].type != kPlainCorner) return 0;
  int count = 0;
  for (int j = i + 2; j <= n; ++j) {
    // The inner corners were the ends of the smaller windows: only the end is new.
    if (v[j].type != kPlainCorner) return count;
    const WindowLine line = LineThrough(v[i].p, v[j].p);
    for (int k = i + 1; k < j; ++k)
      if (SquaredDistanceToLine(v[k].p, line) > tolSquared) return count;
    ++count;
  }
  return count;
}

// ReduceThroughHost's windows and deletions, with each vertex read once.
int ReduceInMemory(CallbackPtr cbp, ObjectHandle object, int n, double tolSquared) {
  if (n < 3) return n;
  ReadVertices(cbp, object, 1, n);
  // v runs ahead of gVertices by the vertices deleted so far, so v[m] is
  // vertex m from the anchor on; an anchor is not read again after its window.
  const VertexRead* v = gVertices;
  for (int i = 1; i <= n - 2; ++i) {
    const int count = GrowWindowInMemory(v, i, n, tolSquared);
    if (count == 0) continue;
    for (int k = i + count; k >= i + 1; --k) DeleteVertex(cbp, object, static_cast<int16_t>(k));
    const int expected = n - count;
    n = GetVertexCount(cbp, object);
    if (n == expected) {
      v += count;
    } else {
      // The host did not delete as asked (no DeleteVertex, or a count held
      // at 32,767 over a longer list): what lies ahead is read again.
      v = gVertices;
      ReadVertices(cbp, object, i + 1, n);
    }
  }
  return n;
}

}  // namespace

void ReduceVertices(ObjectHandle object, CallbackPtr cbp) {
  const double tolSquared = gPointTolerance * gPointTolerance;
  const int16_t type = GetObjectType(cbp, object);
  if (!IsFlatVertexList(type)) return;

  // When the vertex clean-up pass ran, every such object has been through it.
  if (!gFlag5Enabled) CleanUpVertices(cbp, object);

  // int, so that a window end one past a full 16-bit count cannot overflow.
  const int first = GetVertexCount(cbp, object);
  // A window re-reads its inner vertices at every growth: quadratic host
  // calls in a straight run's length, so long objects are read once instead.
  const int n = first > gVertexBufferThreshold ? ReduceInMemory(cbp, object, first, tolSquared)
                                               : ReduceThroughHost(cbp, object, first, tolSquared);
  if (first > n) ResetObject(cbp, object);
}
