#include "geometry/cleanup_vertices.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "attributes/attributes.h"
#include "base/object_types.h"
#include "base/run_globals.h"
#include "geometry/coords.h"
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

// Where an arc vertex's arc meets its legs toward `before` and `after`: the
// points r·tan(turn / 2) along each leg, as the host draws it. Both at the
// vertex when it draws no arc; nullopt when that cannot be told.
struct Tangents {
  WorldPt before, after;
  double length;
};
std::optional<Tangents> TangentPoints(const VertexRead& arc, WorldPt before, WorldPt after) {
  const Tangents corner{arc.p, arc.p, 0.0};
  if (!DrawsArc(arc.type, arc.radius)) return corner;
  const WorldPt u = before - arc.p;
  const WorldPt w = after - arc.p;
  const double lu = std::hypot(u.x, u.y), lw = std::hypot(w.x, w.y);
  if (lu == 0.0 || lw == 0.0) return corner;
  const double cross = (-u.x) * w.y - (-u.y) * w.x;
  const double dot = (-u.x) * w.x + (-u.y) * w.y;
  const double turn = std::atan2(std::fabs(cross), dot);
  if (std::isnan(turn)) return std::nullopt;
  if (turn <= 0) return corner;
  const double length = arc.radius * std::tan(turn / 2);
  if (!std::isfinite(length)) return std::nullopt;
  return Tangents{arc.p + u * (length / lu), arc.p + w * (length / lw), length};
}

double Distance(WorldPt p, WorldPt q) { return std::hypot(p.x - q.x, p.y - q.y); }

// Whether an arc vertex draws the same arc, within the collinearity limit,
// when its neighbour `near` gives way to `replacement`; `far` is its other
// neighbour. A short leg turned by a little can swing a tangent point far.
bool ArcStays(const VertexRead& arc, WorldPt far, WorldPt near, WorldPt replacement) {
  if (!DrawsArc(arc.type, arc.radius)) return true;
  const std::optional<Tangents> was = TangentPoints(arc, far, near);
  const std::optional<Tangents> is = TangentPoints(arc, far, replacement);
  return was && is && Distance(was->before, is->before) <= kCollinearityLimit &&
         Distance(was->after, is->after) <= kCollinearityLimit;
}

// Whether the plain corner `corner` beside an arc vertex can give way to
// `next`: the arc must stay, and its tangent point must not lie beyond the
// corner, where the outline runs on past the corner and back to reach the
// arc and dropping the corner would cut that stretch off.
bool CornerGoesBesideArc(const VertexRead& arc, WorldPt far, WorldPt corner, WorldPt next) {
  if (!DrawsArc(arc.type, arc.radius)) return true;
  const std::optional<Tangents> was = TangentPoints(arc, far, corner);
  return was && was->length <= Distance(arc.p, corner) + kCollinearityLimit &&
         ArcStays(arc, far, corner, next);
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
  // The vertex before the last keeps its arc only if the last one's giving
  // way to the first leaves it in place. Two vertices left draw no arc at
  // all, so then the arc must have been no more than rounding.
  auto arcBeforeLastStays = [&] {
    if (n < 3) return true;
    const VertexRead arc = ReadVertex(cbp, object, n - 1);
    if (!DrawsArc(arc.type, arc.radius)) return true;
    const WorldPt far = ReadVertex(cbp, object, n - 2).p;
    if (n == 3) {
      const std::optional<Tangents> was = TangentPoints(arc, far, last.p);
      return was && was->length <= kCollinearityLimit;
    }
    return ArcStays(arc, far, last.p, first.p);
  };
  if (PointsWithinTolerance(first.p, last.p) && arcBeforeLastStays()) {
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
  // Whether the corner at `mid` can go as far as its neighbour `at` (with
  // `other` on mid's far side) is concerned: an arc vertex there must keep
  // its arc. One at an open end draws no arc.
  auto goesBeside = [&](int midIndex, const VertexRead& mid, int atIndex, const VertexRead& at,
                        const VertexRead& other) {
    if (!DrawsArc(at.type, at.radius)) return true;
    if (closed && n <= 3) return false;  // two vertices left would draw no arc
    const std::optional<WorldPt> far = beyond(midIndex, atIndex);
    return !far || CornerGoesBesideArc(at, *far, mid.p, other.p);
  };
  auto removable = [&](int prevIndex, const VertexRead& prev, int midIndex, const VertexRead& mid,
                       int nextIndex, const VertexRead& next) {
    return IsRedundantCorner(prev, mid, next) && goesBeside(midIndex, mid, prevIndex, prev, next) &&
           goesBeside(midIndex, mid, nextIndex, next, prev);
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
