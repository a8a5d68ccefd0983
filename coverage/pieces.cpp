#include "coverage/pieces.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace coverage::detail {
namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;

}  // namespace

double Scale(const Piece& p) {
  return std::max({1.0, std::fabs(p.ax), std::fabs(p.ay), std::fabs(p.bx), std::fabs(p.by)});
}

bool Measurable(double v) { return std::isfinite(v) && std::fabs(v) <= kMaxMeasurableCoord; }

void Pieces::Segment(double ax, double ay, double bx, double by, double slack, bool chord) {
  out_.push_back(Piece{ax, ay, bx, by, slack, object_, chord});
}

// Points (cx + rh cos t, cy + rv sin t) for t from start through sweep
// (degrees), as chords. An ellipse is a circle stretched along the axes,
// so its chords leave it by at most the larger radius times the circle's.
void Pieces::Arc(double cx, double cy, double rh, double rv, double startDeg, double sweepDeg) {
  const double sweep = std::clamp(sweepDeg, -360.0, 360.0) * kDegToRad;
  // Reduced first, exactly: at a huge start adding a turn's fraction in
  // radians changes nothing and every chord would shrink to a point.
  const double start = std::fmod(startDeg, 360.0) * kDegToRad;
  const double radius = std::max(std::fabs(rh), std::fabs(rv));
  const double wanted = std::max(tolerance_ * kChordShareOfTolerance, radius * kNumericRelative);
  int n = 1;  // a NaN sweep gives NaN chords, which go unmeasured
  if (radius > 0 && wanted < radius && std::isfinite(sweep)) {
    const double step = 2.0 * std::acos(1.0 - wanted / radius);
    n = int(std::clamp(std::ceil(std::fabs(sweep) / step), 1.0, double(kMaxChordsPerArc)));
  }
  const double slack = radius * (1.0 - std::cos(std::fabs(sweep) / n / 2.0));
  double px = cx + rh * std::cos(start), py = cy + rv * std::sin(start);
  for (int i = 1; i <= n; ++i) {
    const double t = start + sweep * i / n;
    const double x = cx + rh * std::cos(t), y = cy + rv * std::sin(t);
    Segment(px, py, x, y, slack, i > 1);
    px = x, py = y;
  }
}

// A bulged segment from a to b: the arc of signed sweep 4 atan(bulge).
void Pieces::Bulged(const hostapp::BulgeVertex& a, const hostapp::BulgeVertex& b) {
  const double chord = std::hypot(b.x - a.x, b.y - a.y);
  if (a.bulge == 0.0 || chord == 0.0) {
    Segment(a.x, a.y, b.x, b.y, 0.0);
    return;
  }
  const double sweep = 4.0 * std::atan(a.bulge);
  const double mx = (a.x + b.x) / 2, my = (a.y + b.y) / 2;
  const double lx = -(b.y - a.y) / chord, ly = (b.x - a.x) / chord;
  const double offset = (chord / 2) / std::tan(sweep / 2);
  const double cx = mx + lx * offset, cy = my + ly * offset;
  const double r = std::hypot(a.x - cx, a.y - cy);
  Arc(cx, cy, r, r, std::atan2(a.y - cy, a.x - cx) / kDegToRad, sweep / kDegToRad);
}

void Pieces::Object(const hostapp::Object& o, size_t index) {
  object_ = index;
  switch (o.type) {
    case kLineType:
      Segment(o.first.x, o.first.y, o.second.x, o.second.y, 0.0);
      break;
    case kArcType:
      Arc(o.center.x, o.center.y, o.hRadius, o.vRadius, o.startDeg, o.sweepDeg);
      break;
    case kVertexListType:
    case kCurvedVertexListType: {
      const auto vs = hostapp::BulgesFromVertices(o.vertices, o.closed);
      const size_t n = vs.size();
      if (n == 1) Segment(vs[0].x, vs[0].y, vs[0].x, vs[0].y, 0.0);
      for (size_t i = 0; n > 1 && i < (o.closed ? n : n - 1); ++i) Bulged(vs[i], vs[(i + 1) % n]);
      break;
    }
    case kVertexList3DType: {
      const auto& vs = o.vertices3d;
      const size_t n = vs.size();
      if (n == 1) Segment(vs[0].x, vs[0].y, vs[0].x, vs[0].y, 0.0);
      for (size_t i = 0; n > 1 && i < (o.closed ? n : n - 1); ++i)
        Segment(vs[i].x, vs[i].y, vs[(i + 1) % n].x, vs[(i + 1) % n].y, 0.0);
      break;
    }
    case kFourPoints3DType:
      for (int i = 0; i < 4; ++i)
        Segment(o.points3d[i].x, o.points3d[i].y, o.points3d[(i + 1) % 4].x, o.points3d[(i + 1) % 4].y, 0.0);
      break;
    default:
      break;  // points draw no stretch; other kinds are opaque to the host
  }
}

bool DrawsStretches(int16_t type) {
  return type == kLineType || type == kArcType || type == kVertexListType ||
         type == kCurvedVertexListType || type == kVertexList3DType || type == kFourPoints3DType;
}

Box BoxOf(const Piece& p, double grow) {
  return Box(Point(std::min(p.ax, p.bx) - grow, std::min(p.ay, p.by) - grow),
             Point(std::max(p.ax, p.bx) + grow, std::max(p.ay, p.by) + grow));
}

// Parameters t in [lo, hi] where a + t d lies in the disc of radius r about c.
bool DiscInterval(double ax, double ay, double dx, double dy, double cx, double cy, double r,
                  Interval* out) {
  const double ex = ax - cx, ey = ay - cy;
  const double a = dx * dx + dy * dy, b = dx * ex + dy * ey, c = ex * ex + ey * ey - r * r;
  if (a == 0) {
    if (c > 0) return false;
    *out = {-INFINITY, INFINITY};
    return true;
  }
  const double disc = b * b - a * c;
  if (disc < 0) return false;
  const double root = std::sqrt(disc);
  *out = {(-b - root) / a, (-b + root) / a};
  return true;
}

namespace {

// Where f0 + f1 t lies within [lo, hi].
bool LinearWithin(double f0, double f1, double lo, double hi, Interval* out) {
  if (f1 == 0) {
    if (f0 < lo || f0 > hi) return false;
    *out = {-INFINITY, INFINITY};
    return true;
  }
  double t0 = (lo - f0) / f1, t1 = (hi - f0) / f1;
  if (t0 > t1) std::swap(t0, t1);
  *out = {t0, t1};
  return true;
}

}  // namespace

// The parameters of s (0 to 1) within distance r of piece t. The set of
// points within r of a segment is convex, so along a line it is one interval:
// the hull of the parts inside the two end discs and the band between them.
bool CoveredInterval(const Piece& s, const Piece& t, double r, Interval* out) {
  const double dx = s.bx - s.ax, dy = s.by - s.ay;
  bool any = false;
  Interval hull{INFINITY, -INFINITY}, part{};
  auto take = [&](const Interval& i) {
    hull.lo = std::min(hull.lo, i.lo);
    hull.hi = std::max(hull.hi, i.hi);
    any = true;
  };
  if (DiscInterval(s.ax, s.ay, dx, dy, t.ax, t.ay, r, &part)) take(part);
  if (DiscInterval(s.ax, s.ay, dx, dy, t.bx, t.by, r, &part)) take(part);
  const double ux = t.bx - t.ax, uy = t.by - t.ay, len = std::hypot(ux, uy);
  if (len > 0) {
    const double nx = ux / len, ny = uy / len;
    // Along t: (p - t.a) . n in [0, len]; across: (p - t.a) x n in [-r, r].
    const double ex = s.ax - t.ax, ey = s.ay - t.ay;
    Interval along{}, across{};
    if (LinearWithin(ex * nx + ey * ny, dx * nx + dy * ny, 0, len, &along) &&
        LinearWithin(ex * ny - ey * nx, dx * ny - dy * nx, -r, r, &across)) {
      const Interval band{std::max(along.lo, across.lo), std::min(along.hi, across.hi)};
      if (band.lo <= band.hi) take(band);
    }
  }
  if (!any) return false;
  *out = {std::max(hull.lo, 0.0), std::min(hull.hi, 1.0)};
  return out->lo <= out->hi;
}

}  // namespace coverage::detail
