#include "geometry/cleanup_vertices.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "attributes/attributes.h"
#include "driver/run_globals.h"
#include "geometry/coords.h"
#include "geometry/object_types.h"
#include "geometry/vertex_read.h"
#include "geometry/window_line.h"
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

// The corners dropped since the last corner kept. Each drop is judged
// against its neighbours only, so along a gentle curve of short chords the
// drops could add up, one collinear step at a time, to a stretch far off the
// outline; the new stretch must therefore pass near every corner it replaces,
// within the collinearity limit.
class DroppedRun {
 public:
  // A new corner was kept: it anchors the next run of drops.
  void Restart(WorldPt anchor) {
    anchor_ = anchor;
    dropped_.clear();
    largest_ = std::max(kLargestFloor, 4 * std::max(std::fabs(anchor.x), std::fabs(anchor.y)));
    cone_ = WindowCone(anchor, kLimitSquared, largest_);
    coneHolds_ = true;
  }

  // Whether the stretch from the anchor to next passes near mid and every
  // corner dropped before it.
  bool StaysNear(WorldPt mid, WorldPt next) const {
    const WindowLine line = LineThrough(anchor_, next);
    if (!(SquaredDistanceToLine(mid, line) <= kLimitSquared)) return false;
    if (dropped_.empty() || (coneHolds_ && cone_.Certifies(next))) return true;
    return std::all_of(dropped_.begin(), dropped_.end(),
                       [&](WorldPt p) { return SquaredDistanceToLine(p, line) <= kLimitSquared; });
  }

  void Drop(WorldPt p) {
    dropped_.push_back(p);
    // The cone's rounding margin was set for coordinates up to largest_.
    if (!(std::max(std::fabs(p.x), std::fabs(p.y)) <= largest_)) coneHolds_ = false;
    cone_.Add(p);
  }

 private:
  static constexpr double kLimitSquared = kCollinearityLimit * kCollinearityLimit;
  static constexpr double kLargestFloor = 1e6;
  WorldPt anchor_{0, 0};
  std::vector<WorldPt> dropped_;
  double largest_ = kLargestFloor;
  WindowCone cone_{WorldPt(0, 0), kLimitSquared, kLargestFloor};
  bool coneHolds_ = false;
};

// The length along each leg from an arc vertex to its arc's tangent point:
// r·tan(turn / 2), with the turn between the legs to its two neighbours.
// 0 when it draws no arc; NaN when that cannot be told.
double TangentLength(const VertexRead& arc, WorldPt before, WorldPt after) {
  if (!DrawsArc(arc.type, arc.radius)) return 0.0;
  const WorldPt u = before - arc.p;
  const WorldPt w = after - arc.p;
  if ((u.x == 0.0 && u.y == 0.0) || (w.x == 0.0 && w.y == 0.0)) return 0.0;
  const double cross = (-u.x) * w.y - (-u.y) * w.x;
  const double dot = (-u.x) * w.x + (-u.y) * w.y;
  const double turn = std::atan2(std::fabs(cross), dot);
  if (!(turn > 0)) return std::isnan(turn) ? turn : 0.0;
  return arc.radius * std::tan(turn / 2);
}

// A plain corner on an arc vertex's leg but nearer to it than the arc's
// tangent point is where the outline runs on past the corner and back to
// reach the arc: dropping the corner would cut that stretch off. `corner`
// and `far` are the arc vertex's neighbours. Within the collinearity limit
// the stretch is only rounding.
bool ArcReachesPast(const VertexRead& arc, WorldPt corner, WorldPt far) {
  if (!DrawsArc(arc.type, arc.radius)) return false;
  const double tangent = TangentLength(arc, corner, far);
  const WorldPt d = corner - arc.p;
  return !(tangent <= std::hypot(d.x, d.y) + kCollinearityLimit);
}

DroppedRun DroppedRunFrom(WorldPt anchor) {
  DroppedRun run;
  run.Restart(anchor);
  return run;
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
    // The first vertex was an open end, drawn as a corner; closed, an arc
    // vertex there would round it off. It stays the corner it was.
    if (DrawsArc(first.type, first.radius)) SetVertex(cbp, object, 1, &first.p, kPlainCorner, 0.0, 1);
    DeleteVertex(cbp, object, n);
    SetPolyClosed(cbp, object, 1);
  }

  n = GetVertexCount(cbp, object);

  // Wrap-around corner of a closed shape; needs three distinct vertices to read.
  const bool closed = n >= 3 && IsPolyClosed(cbp, object);
  // The vertex beyond neighbour `at` of the corner at `from`, going away from
  // it; none past an open end.
  auto beyond = [&](int from, int at) -> std::optional<WorldPt> {
    int k = at + (at - from);
    if (closed) k = (k + n - 1) % n + 1;
    if (k < 1 || k > n) return std::nullopt;
    return ReadVertex(cbp, object, k).p;
  };
  // Whether a neighbour of the corner at `mid` is an arc vertex drawn from
  // a tangent point beyond the corner.
  auto arcBeside = [&](int midIndex, const VertexRead& mid, int atIndex, const VertexRead& at) {
    if (!DrawsArc(at.type, at.radius)) return false;
    const std::optional<WorldPt> far = beyond(midIndex, atIndex);
    return far && ArcReachesPast(at, mid.p, *far);
  };
  auto removable = [&](int prevIndex, const VertexRead& prev, int midIndex, const VertexRead& mid,
                       int nextIndex, const VertexRead& next) {
    return IsRedundantCorner(prev, mid, next) && !arcBeside(midIndex, mid, prevIndex, prev) &&
           !arcBeside(midIndex, mid, nextIndex, next);
  };

  if (closed) {
    const VertexRead prev = ReadVertex(cbp, object, n);
    const VertexRead mid = ReadVertex(cbp, object, 1);
    const VertexRead next = ReadVertex(cbp, object, 2);
    if (removable(n, prev, 1, mid, 2, next) && DroppedRunFrom(prev.p).StaysNear(mid.p, next.p)) {
      DeleteVertex(cbp, object, 1);
      --n;
    }
  }

  // Interior corners. After a removal the index stays, so the vertex that
  // moved into place i is judged against its new neighbours.
  int16_t i = 2;
  DroppedRun run;
  bool restart = true;
  while (i < n) {
    const VertexRead prev = ReadVertex(cbp, object, static_cast<int16_t>(i - 1));
    const VertexRead mid = ReadVertex(cbp, object, i);
    const VertexRead next = ReadVertex(cbp, object, static_cast<int16_t>(i + 1));
    if (restart) run.Restart(prev.p);
    if (removable(i - 1, prev, i, mid, i + 1, next) && run.StaysNear(mid.p, next.p)) {
      DeleteVertex(cbp, object, i);
      run.Drop(mid.p);
      restart = false;
      --n;
    } else {
      ++i;
      restart = true;
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
