// Merges collinear lines that overlap or touch, and arcs of one circle or
// ellipse whose angle ranges overlap. The later object of a pair is stretched
// to cover both and the visited one is deleted, so a run of pieces ends up in
// its last piece as the traversal moves forward.
#include <cmath>
#include <limits>

#include "attributes/attributes.h"
#include "base/object_types.h"
#include "base/run_deviation.h"
#include "base/run_globals.h"
#include "geometry/coords.h"
#include "geometry/window_line.h"
#include "host/host_calls.h"
#include "index/candidate_index.h"
#include "passes/passes.h"

namespace {

constexpr double kFullTurn = 360.0;
// Locals start as NaN so that a routine the host lacks (which leaves its
// out-arguments alone) reads as unusable geometry rather than as zeros that
// would make every such object look alike.
constexpr double kUnread = std::numeric_limits<double>::quiet_NaN();

bool IsFinite(const WorldPt& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// BoundsNear(r, s) holds exactly when r and s, each stretched right and up
// by its own width and height, meet: that stretched box is the key.
IndexBox NearBox(const WorldRect& r) {
  const double w = r.right - r.left, h = r.top - r.bottom;
  const IndexBox b{r.left, r.bottom, r.right + w, r.top + h};
  return Grown(b, RoundingMargin(b));
}

// A line is also keyed by its direction, so a search passes over the lines
// that cross it. Two lines that pass the collinearity tests both ways round
// and are BoundsNear differ in direction by at most spread(n) + spread(v),
// spread = (7 tau + 5 eta) / length, where tau bounds the vertical deviation
// the test lets through (the 1e-5 limit and its rounding at coordinates up
// to kDirectionalCoordLimit) and eta = 1.01e-13 max(1, |coordinate|) the
// distance within which an end counts as equal to another. That rests on
// each bounds holding its line's ends within a width no longer than the
// line, which a line that the host bounds otherwise does not get: it, like a
// short line, one with huge or unusable coordinates, or one whose spread
// passes kMaxSpread, takes every direction.
constexpr double kCollinearSlack = 1.5e-5;
constexpr double kDirectionalCoordLimit = 1e9;
constexpr double kEqualEndsSlack = 1.01e-13;
constexpr double kMaxSpread = 0.5;
// Third-axis ranges: any direction of a line (every line search lies within
// it), and arcs, keyed on their own stretch apart from every line.
constexpr double kAnyDirectionMin = -4.0, kAnyDirectionMax = 8.0;
constexpr double kArcAxis = 16.0;
constexpr double kPi = 3.14159265358979323846;

struct Direction {
  bool known = false;
  double angle = 0;   // [0, pi), a line and its reverse alike
  double spread = 0;
};

Direction DirectionOf(const WorldPt& a, const WorldPt& b, const WorldRect& r) {
  Direction d;
  const double largest = std::fmax(std::fmax(std::fabs(a.x), std::fabs(a.y)), std::fmax(std::fabs(b.x), std::fabs(b.y)));
  // NaN fails the comparison too.
  if (!(largest <= kDirectionalCoordLimit)) return d;
  const double low = std::fmin(a.x, b.x), high = std::fmax(a.x, b.x);
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double length = std::hypot(dx, dy);
  if (!(r.left <= low && high <= r.right && r.right - r.left <= length * (1 + 1e-12)) || !(length > 0)) return d;
  const double eta = kEqualEndsSlack * std::fmax(1.0, largest);
  d.spread = (7 * kCollinearSlack + 5 * eta) / length + 1e-12;
  if (!(d.spread <= kMaxSpread)) return d;
  double angle = std::atan2(dy, dx);
  if (angle < 0) angle += kPi;
  if (angle >= kPi) angle -= kPi;
  d.angle = angle;
  d.known = true;
  return d;
}

// Where on the third axis a line lies, and where a line search looks: one
// range, and the same shifted by a half turn, since a direction near 0 meets
// one near pi.
void KeyDirection(const Direction& d, IndexBox* box) {
  box->minZ = d.known ? d.angle - d.spread : kAnyDirectionMin;
  box->maxZ = d.known ? d.angle + d.spread : kAnyDirectionMax;
}
int LineSearchBoxes(const WorldRect& r, const Direction& d, IndexBox* boxes) {
  boxes[0] = NearBox(r);
  KeyDirection(d, &boxes[0]);
  if (!d.known) return 1;
  boxes[1] = boxes[0];
  const double turn = d.angle < kPi / 2 ? kPi : -kPi;
  boxes[1].minZ += turn;
  boxes[1].maxZ += turn;
  return 2;
}

// An arc is keyed by its centre, and on the third axis by its horizontal
// radius (through atan, which keeps radii that CoordsEqual alike within
// 1.1e-13 of each other, and every radius on a stretch of its own).
constexpr double kRadiusSlack = 1e-12;

IndexBox ArcKey(const WorldPt& center, double hRadius) {
  const double z = kArcAxis + std::atan(hRadius);
  return IndexBox{center.x, center.y, center.x, center.y, z, z};
}

// Every arc whose centre lies within the point tolerance's hundredth and
// whose horizontal radius is CoordsEqual; a tolerance that is no usable
// width searches everything, by walking.
IndexBox ArcSearchBox(const WorldPt& center, double hRadius) {
  const double limit = gPointTolerance / 100.0;
  if (!(limit >= 0) || !std::isfinite(limit)) return IndexBox{kUnread, kUnread, kUnread, kUnread};
  IndexBox b = ArcKey(center, hRadius);
  b = Grown(b, limit * (1 + 1e-12));
  b = Grown(b, RoundingMargin(b));
  b.minZ -= kRadiusSlack;
  b.maxZ += kRadiusSlack;
  return b;
}

// Lines and arcs are keyed as above; nothing else merges.
bool MergeKey(CallbackPtr cbp, ObjectHandle object, IndexBox* box) {
  const int16_t type = GetObjectType(cbp, object);
  if (type == kLineType) {
    WorldRect r;
    GetObjectBounds(cbp, object, &r);
    WorldPt p(kUnread, kUnread), q(kUnread, kUnread);
    GetLineEnds(cbp, object, &p, &q);
    *box = NearBox(r);
    KeyDirection(DirectionOf(p, q, r), box);
    return true;
  }
  if (type == kArcType) {
    double s = kUnread, w = kUnread, rh = kUnread, rv = kUnread;
    WorldPt c(kUnread, kUnread);
    GetArcGeometry(cbp, object, &s, &w, &c, &rh, &rv);
    *box = ArcKey(c, rh);
    return true;
  }
  return false;
}

// The visited line has one end within n = (p, q) and `outer` as its other
// end: n must reach outer. Where outer lies beyond an end of n's exact box,
// it replaces that end. Where it lies beyond neither, it is off that box only
// by noise within the collinearity limit, and its place along p -> q decides:
// before p or beyond q it still replaces that end (else the stretch between
// would be lost), between them n already covers the visited line.
void StretchToOuterEnd(CallbackPtr cbp, ObjectHandle n, const WorldPt& p, const WorldPt& q,
                       const WorldPt& outer) {
  if (PointInBox(q, p, outer)) {
    SetLineEnds(cbp, n, &p, &outer);
    return;
  }
  if (PointInBox(p, outer, q)) {
    SetLineEnds(cbp, n, &outer, &q);
    return;
  }
  const WorldPt along = q - p, off = outer - p;
  const double length2 = along.x * along.x + along.y * along.y;
  const double t = length2 > 0 ? (off.x * along.x + off.y * along.y) / length2 : 1.0;
  if (t < 0) {
    SetLineEnds(cbp, n, &outer, &q);
  } else if (t > 1) {
    SetLineEnds(cbp, n, &p, &outer);
  }
}

// ---- Within the point tolerance ----

double Cross(const WorldPt& u, const WorldPt& v) { return u.x * v.y - u.y * v.x; }
double Dot(const WorldPt& u, const WorldPt& v) { return u.x * v.x + u.y * v.y; }

// Lines a-b (visited) and p-q (later) merge within `budget` when each end of
// one lies within it of the other's supporting line and their stretches along
// p-q overlap or leave a gap no wider than it. n then runs along its own line
// from the first to the last of the four ends' places on it: every point of
// a-b lies within its own ends' distance of that. Answers that distance, or
// NaN when they do not merge (and then nothing changed).
double MergeLineNear(CallbackPtr cbp, ObjectHandle n, const WorldPt& a, const WorldPt& b, const WorldPt& p,
                     const WorldPt& q, double budget) {
  const double nan = kUnread;
  const WorldPt along = q - p, own = b - a;
  const double length = std::hypot(along.x, along.y), ownLength = std::hypot(own.x, own.y);
  if (!(length > 0) || !(ownLength > 0) || !std::isfinite(length) || !std::isfinite(ownLength)) return nan;
  const WorldPt u(along.x / length, along.y / length), w(own.x / ownLength, own.y / ownLength);
  const double da = std::fabs(Cross(u, a - p)), db = std::fabs(Cross(u, b - p));
  const double dp = std::fabs(Cross(w, p - a)), dq = std::fabs(Cross(w, q - a));
  const double gap = std::fmax(da, db);
  if (!(gap <= budget) || !(dp <= budget) || !(dq <= budget)) return nan;
  const double ta = Dot(u, a - p), tb = Dot(u, b - p);
  const double lo = std::fmin(ta, tb), hi = std::fmax(ta, tb);
  if (!(lo <= length + budget) || !(hi >= -budget)) return nan;
  if (!MatchesRememberedAttributes(cbp, n)) return nan;
  if (lo < 0 || hi > length) {
    const double from = std::fmin(0.0, lo), to = std::fmax(length, hi);
    const WorldPt first(p.x + u.x * from, p.y + u.y * from), second(p.x + u.x * to, p.y + u.y * to);
    SetLineEnds(cbp, n, from < 0 ? &first : &p, to > length ? &second : &q);
  }
  return gap;
}

// n is about to become the visited line: each of its ends must lie on it.
// The collinearity tests look at the visited ends from n's line only, and
// a line of no length (or almost none) passes them whatever its place: a
// point in the corner of the visited line's box was stretched away.
bool LiesAlong(const WorldPt& p, const WorldPt& a, const WorldPt& b) {
  return SquaredDistanceToLine(p, LineThrough(a, b)) <= kCollinearityLimit * kCollinearityLimit;
}

void MergeLine(ObjectHandle object, CallbackPtr cbp) {
  WorldPt a(kUnread, kUnread), b(kUnread, kUnread);
  GetLineEnds(cbp, object, &a, &b);
  if (!IsFinite(a) || !IsFinite(b)) return;
  WorldRect r;
  GetObjectBounds(cbp, object, &r);
  RememberAttributes(cbp, object);

  // Matching within the tolerance looks in every direction around the line.
  const double budget = NearBudget(object);
  IndexBox near[2];
  int boxes = 1;
  if (budget > 0) {
    const WorldPt ends[2] = {a, b};
    near[0] = Grown(BoxOf(ends, 2), budget);
    near[0] = Grown(near[0], RoundingMargin(near[0]));
    KeyDirection(Direction{}, &near[0]);
  } else {
    boxes = LineSearchBoxes(r, DirectionOf(a, b, r), near);
  }
  StartCandidateSearch(cbp, object, MergeKey, near, boxes);
  for (ObjectHandle n = FirstCandidate(cbp, NextObject(cbp, object)); n != 0; n = NextCandidate(cbp, n)) {
    if (GetObjectType(cbp, n) != kLineType) continue;
    WorldPt p(kUnread, kUnread), q(kUnread, kUnread);
    GetLineEnds(cbp, n, &p, &q);
    WorldRect s;
    GetObjectBounds(cbp, n, &s);
    if (budget > 0) {
      const double gap = MergeLineNear(cbp, n, a, b, p, q, budget);
      if (!(gap >= 0)) continue;
      CarryDeviation(object, n, gap);
      DeleteObject(cbp, object, 0);
      return;
    }
    if (!BoundsNear(r, s)) continue;
    if (!ArePointsCollinear(p, q, a) || !ArePointsCollinear(p, q, b)) continue;
    if (!MatchesRememberedAttributes(cbp, n)) continue;

    const bool inA = PointInBox(a, p, q);
    const bool inB = PointInBox(b, p, q);
    if (inA && inB) {
      // The visited line lies within n: n already covers it.
    } else if (inA) {
      StretchToOuterEnd(cbp, n, p, q, b);
    } else if (inB) {
      StretchToOuterEnd(cbp, n, p, q, a);
    } else if (PointInBox(p, a, b) && PointInBox(q, a, b) && LiesAlong(p, a, b) && LiesAlong(q, a, b)) {
      SetLineEnds(cbp, n, &a, &b);  // n lies within the visited line
    } else {
      continue;
    }
    DeleteObject(cbp, object, 0);
    return;
  }
}

// Each rule once, in this order: a start of -500 stays at -140, 800 at 440.
void NormaliseAngles(double& start, double& sweep) {
  if (sweep < 0) {
    start += sweep;
    sweep = -sweep;
  }
  if (sweep > kFullTurn) sweep = kFullTurn;
  if (start < 0) start += kFullTurn;
  if (start > kFullTurn) start -= kFullTurn;
}

// Brings a candidate's start into [start, start + 360), where the overlap
// tests below are valid. One added turn does it for starts that the
// normalising left within one turn of each other; starts like 440 or -140
// need more, and without it arcs that overlap would lose a stretch and arcs
// apart would be bridged.
double AlignedStart(double candidate, double start) {
  if (candidate < start) candidate += kFullTurn;
  if (candidate < start || candidate >= start + kFullTurn) {
    double offset = std::fmod(candidate - start, kFullTurn);
    if (offset < 0) offset += kFullTurn;
    candidate = start + offset;
  }
  return candidate;
}

bool ArcIsFinite(double start, double sweep, const WorldPt& center, double rh, double rv) {
  return std::isfinite(start) && std::isfinite(sweep) && IsFinite(center) &&
         std::isfinite(rh) && std::isfinite(rv);
}

void MergeArc(ObjectHandle object, CallbackPtr cbp) {
  WorldRect r;
  GetObjectBounds(cbp, object, &r);
  RememberAttributes(cbp, object);
  double s = kUnread, w = kUnread, rh = kUnread, rv = kUnread;
  WorldPt c(kUnread, kUnread);
  GetArcGeometry(cbp, object, &s, &w, &c, &rh, &rv);
  if (!ArcIsFinite(s, w, c, rh, rv)) return;
  NormaliseAngles(s, w);
  const double e = s + w;

  // Within the tolerance: centres and radii may differ by what is left of it.
  const double budget = NearBudget(object);
  IndexBox near = ArcSearchBox(c, rh);
  if (budget > 0) {
    near = Grown(ArcKey(c, rh), budget);
    near = Grown(near, RoundingMargin(near));
    near.minZ = kArcAxis + std::atan(rh - budget) - kRadiusSlack;
    near.maxZ = kArcAxis + std::atan(rh + budget) + kRadiusSlack;
  }
  StartCandidateSearch(cbp, object, MergeKey, &near, 1);
  for (ObjectHandle n = FirstCandidate(cbp, NextObject(cbp, object)); n != 0; n = NextCandidate(cbp, n)) {
    if (GetObjectType(cbp, n) != kArcType) continue;
    WorldRect bounds;
    GetObjectBounds(cbp, n, &bounds);
    if (!BoundsNear(r, bounds)) continue;
    double s2 = kUnread, w2 = kUnread, rh2 = kUnread, rv2 = kUnread;
    WorldPt c2(kUnread, kUnread);
    GetArcGeometry(cbp, n, &s2, &w2, &c2, &rh2, &rv2);
    // Points at one angle of the two lie at most this far apart.
    const double gap = budget > 0 ? std::hypot(c.x - c2.x, c.y - c2.y) +
                                        std::fmax(std::fabs(rh - rh2), std::fabs(rv - rv2))
                                  : 0.0;
    const bool sameCircle = budget > 0 ? gap <= budget
                                       : PointsWithinTolerance(c, c2) && CoordsEqual(rh, rh2) &&
                                             CoordsEqual(rv, rv2);
    if (!sameCircle || !MatchesRememberedAttributes(cbp, n)) continue;
    if (!std::isfinite(s2) || !std::isfinite(w2)) continue;
    NormaliseAngles(s2, w2);
    s2 = AlignedStart(s2, s);
    const double e2 = s2 + w2;

    if (s2 <= e) {
      // n starts inside the visited range.
      SetArcAngles(cbp, n, s, Minimum(Maximum(e, e2) - s, kFullTurn));
    } else if (e2 - kFullTurn >= s) {
      // n runs past a full turn into the visited range.
      const double m = Minimum(s, s2 - kFullTurn);
      SetArcAngles(cbp, n, m, Minimum(Maximum(e, e2 - kFullTurn) - m, kFullTurn));
    } else {
      continue;
    }
    CarryDeviation(object, n, gap);
    DeleteObject(cbp, object, 0);
    return;
  }
}

}  // namespace

void MergeOverlappingSegments(ObjectHandle object, CallbackPtr cbp) {
  switch (GetObjectType(cbp, object)) {
    case kLineType:
      MergeLine(object, cbp);
      break;
    case kArcType:
      MergeArc(object, cbp);
      break;
    default:
      break;
  }
}
