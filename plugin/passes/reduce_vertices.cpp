// Thins out nearly straight runs of plain corners: from each anchor a window
// grows one vertex at a time while every inner corner lies within the point
// tolerance of the line from the anchor to the window's end; the inner
// corners of the last window that passed are removed.
#include <cmath>
#include <cstdint>
#include <limits>

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

// A cone of directions from a window's anchor that certifies, without
// measuring each inner corner again, that every inner corner passes
// SquaredDistanceToLine against the line to a new end. Each inner corner p at
// distance r > tolC from the anchor allows the directions within
// asin(tolC / r) of its own (less a margin), so a line in all of them passes
// within tolC of every such corner; a corner within tolC of the anchor passes
// whatever the direction; and an end farther from the anchor than every inner
// corner keeps each of them between the ends, where the distance is the one
// to the line. tolC lies below the tolerance by more than the rounding of the
// written arithmetic at the object's largest coordinate, so a certified
// window passes the written test too. A window the cone cannot certify is
// measured corner by corner as written; NaN, infinite or huge coordinates,
// and a tolerance that is no positive finite width, are always measured.
class Cone {
 public:
  // `largest`: the largest coordinate magnitude among the object's vertices.
  Cone(WorldPt anchor, double tolSquared, double largest) : a_(anchor), largest_(largest) {
    const double tol = std::sqrt(tolSquared);
    const double rounding = 1e-14 * std::fmax(1.0, largest);
    tolC_ = tol * (1 - 1e-6) - rounding;
    valid_ = std::isfinite(tol) && tol > 0 && std::isfinite(largest) && tolC_ > 0.5 * tol &&
             std::isfinite(anchor.x) && std::isfinite(anchor.y);
  }

  // The window grew: p is its newest inner corner.
  void Add(WorldPt p) {
    if (!valid_) return;
    const double dx = p.x - a_.x, dy = p.y - a_.y;
    const double r = std::hypot(dx, dy);
    if (!std::isfinite(r)) {
      valid_ = false;
      return;
    }
    farthest_ = std::fmax(farthest_, r);
    if (r <= tolC_) return;
    const double spread = std::asin(std::fmin(kMaxSine, tolC_ / r)) - kAngleMargin;
    const double direction = std::atan2(dy, dx);
    if (!directed_) {
      directed_ = true;
      reference_ = direction;
      low_ = -spread;
      high_ = spread;
      return;
    }
    const double c = Turned(direction - reference_);
    // Only the unwrapped part of the interval is kept: a smaller cone.
    low_ = std::fmax(low_, c - spread);
    high_ = std::fmin(high_, c + spread);
  }

  bool Certifies(WorldPt b) const {
    if (!valid_) return false;
    const double dx = b.x - a_.x, dy = b.y - a_.y;
    const double length = std::hypot(dx, dy);
    if (!(length > farthest_ * (1 + 1e-12)) || !(length >= 1e-12 * std::fmax(1.0, largest_))) return false;
    if (!directed_) return true;
    const double at = Turned(std::atan2(dy, dx) - reference_);
    return low_ <= at && at <= high_;
  }

 private:
  static constexpr double kPi = 3.14159265358979323846;
  // Corners just beyond tolC would allow nearly a half turn, where asin
  // loses its precision: their share is capped.
  static constexpr double kMaxSine = 0.99;
  static constexpr double kAngleMargin = 1e-9;
  static double Turned(double angle) {
    if (angle > kPi) return angle - 2 * kPi;
    if (angle <= -kPi) return angle + 2 * kPi;
    return angle;
  }

  WorldPt a_;
  double largest_;
  double tolC_ = 0;
  bool valid_ = false;
  bool directed_ = false;  // some inner corner lies beyond tolC
  double reference_ = 0, low_ = 0, high_ = 0;
  double farthest_ = 0;
};

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
  Cone cone(v[i].p, tolSquared, largest);
  int count = 0;
  for (int j = i + 2; j <= n; ++j) {
    // The inner corners were the ends of the smaller windows: only the end is new.
    if (v[j].type != kPlainCorner) return count;
    cone.Add(v[j - 1].p);
    if (!cone.Certifies(v[j].p)) {
      const WindowLine line = LineThrough(v[i].p, v[j].p);
      for (int k = i + 1; k < j; ++k)
        if (SquaredDistanceToLine(v[k].p, line) > tolSquared) return count;
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
