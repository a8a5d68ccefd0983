// Thins out nearly straight runs of plain corners: from each anchor a window
// grows one vertex at a time while every inner corner lies within the point
// tolerance of the line from the anchor to the window's end; the inner
// corners of the last window that passed are removed.
#include <cmath>
#include <cstdint>
#include <limits>

#include "base/object_types.h"
#include "base/run_deviation.h"
#include "base/run_globals.h"
#include "base/world_types.h"
#include "geometry/cleanup_vertices.h"
#include "geometry/coords.h"
#include "geometry/vertex_read.h"
#include "geometry/window_line.h"
#include "host/host_calls.h"
#include "index/thresholds.h"
#include "passes/passes.h"

namespace {

// The most vertices a 16-bit count can name.
constexpr int kMaxVertexCount = 32767;

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
      // Written as "not within" so that a NaN corner, anchor or end stops the
      // window: a run is never bridged across a point that cannot be measured.
      if (!(SquaredDistanceToLine(inner.p, LineThrough(anchor.p, end.p)) <= tolSquared)) break;
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

double LargestCoordinate(const VertexRead* v, int from, int to) {
  double largest = 0;
  for (int m = from; m <= to; ++m) largest = std::fmax(largest, std::fmax(std::fabs(v[m].p.x), std::fabs(v[m].p.y)));
  // A NaN would vanish in fmax: it marks the whole object as one to measure.
  for (int m = from; m <= to; ++m)
    if (std::isnan(v[m].p.x) || std::isnan(v[m].p.y)) return std::numeric_limits<double>::infinity();
  return largest;
}

// GrowWindow's result from vertices in memory (v[m] is vertex m). A window
// [i, j] grows when all of i..j are plain corners and every inner one lies
// within tolerance; the order of the tests cannot change that, and a window
// the cone certifies needs none of them.
int GrowWindowInMemory(const VertexRead* v, int i, int n, double tolSquared, double largest) {
  if (v[i].type != kPlainCorner || v[i + 1].type != kPlainCorner) return 0;
  WindowCone cone(v[i].p, tolSquared, largest);
  int count = 0;
  for (int j = i + 2; j <= n; ++j) {
    // The inner corners were the ends of the smaller windows: only the end is new.
    if (v[j].type != kPlainCorner) return count;
    cone.Add(v[j - 1].p);
    if (!cone.Certifies(v[j].p)) {
      const WindowLine line = LineThrough(v[i].p, v[j].p);
      for (int k = i + 1; k < j; ++k)
        if (!(SquaredDistanceToLine(v[k].p, line) <= tolSquared)) return count;
    }
    ++count;
  }
  return count;
}

// ReduceThroughHost's windows and deletions, with each vertex read once.
int ReduceInMemory(CallbackPtr cbp, ObjectHandle object, int n, double tolSquared) {
  if (n < 3) return n;
  ReadVertices(cbp, object, 1, n);
  double largest = LargestCoordinate(gVertices, 1, n);
  // v runs ahead of gVertices by the vertices deleted so far, so v[m] is
  // vertex m from the anchor on; an anchor is not read again after its window.
  const VertexRead* v = gVertices;
  for (int i = 1; i <= n - 2; ++i) {
    const int count = GrowWindowInMemory(v, i, n, tolSquared, largest);
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
      largest = LargestCoordinate(gVertices, 1, n);
    }
  }
  return n;
}

}  // namespace

void ReduceVertices(ObjectHandle object, CallbackPtr cbp) {
  // An object that stands for others near it may move only by what is left.
  const double carried = CarriedDeviation(object);
  const double tolerance = carried > 0 ? std::fmax(gPointTolerance - carried, 0.0) : gPointTolerance;
  const double tolSquared = tolerance * tolerance;
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
  // What it drew may now lie up to the tolerance used from it: a later round,
  // or a near match, may move it only by what is left.
  if (first > n && (gExtraOptions.repeat || gExtraOptions.nearMatch)) CarryDeviation(object, object, tolerance);
}
