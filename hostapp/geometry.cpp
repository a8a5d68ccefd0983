#include "hostapp/geometry.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace hostapp {

namespace {

constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
// Angles that differ by less than this are treated as one: keeps an axis
// extreme that lies exactly on an end angle inside the range.
constexpr double kAngleSlackDeg = 1e-9;
// Radii that differ by less than this fraction make a circle.
constexpr double kCircularRelTol = 1e-12;

struct Box {
  double minX = DBL_MAX, minY = DBL_MAX, maxX = -DBL_MAX, maxY = -DBL_MAX;
  bool any = false;
  void Add(double x, double y) {
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
    any = true;
  }
};

HostWorldPt ArcPoint(const Object& a, double deg) {
  const double t = deg * kDegToRad;
  return HostWorldPt{a.center.y + a.vRadius * std::sin(t), a.center.x + a.hRadius * std::cos(t)};
}

// True when angle deg lies within the arc's range, whatever the sign of sweep.
bool AngleInRange(double deg, double start, double sweep) {
  if (std::fabs(sweep) >= 360.0) return true;
  if (sweep < 0) {
    start += sweep;
    sweep = -sweep;
  }
  double d = std::fmod(deg - start, 360.0);
  if (d < 0) d += 360.0;
  return d <= sweep + kAngleSlackDeg || d >= 360.0 - kAngleSlackDeg;
}

}  // namespace

HostWorldRect EmptyRect() { return HostWorldRect{-DBL_MAX, DBL_MAX, DBL_MAX, -DBL_MAX}; }

bool ComputeBounds(const Object& o, HostWorldRect* out) {
  Box b;
  switch (o.type) {
    case kLineType:
      b.Add(o.first.x, o.first.y);
      b.Add(o.second.x, o.second.y);
      break;
    case kArcType: {
      HostWorldPt s = ArcPoint(o, o.startDeg), e = ArcPoint(o, o.startDeg + o.sweepDeg);
      b.Add(s.x, s.y);
      b.Add(e.x, e.y);
      for (int k = 0; k < 4; ++k) {
        if (!AngleInRange(90.0 * k, o.startDeg, o.sweepDeg)) continue;
        HostWorldPt p = ArcPoint(o, 90.0 * k);
        b.Add(p.x, p.y);
      }
      break;
    }
    case kVertexListType:
    case kCurvedVertexListType:
      for (const Vertex& v : o.vertices) b.Add(v.p.x, v.p.y);
      break;
    case kVertexList3DType:
      for (const HostWorldPt3D& v : o.vertices3d) b.Add(v.x, v.y);
      break;
    case kPointType:
      b.Add(o.point.x, o.point.y);
      break;
    case kPoint3DType:
      b.Add(o.point3d.x, o.point3d.y);
      break;
    case kFourPoints3DType:
      for (const HostWorldPt3D& p : o.points3d) b.Add(p.x, p.y);
      break;
    default:
      *out = o.bounds;
      return true;
  }
  if (!b.any) {
    *out = EmptyRect();
    return false;
  }
  *out = HostWorldRect{b.maxY, b.minX, b.minY, b.maxX};
  return true;
}

std::vector<Vertex> ArcToVertices(const Object& a) {
  std::vector<Vertex> out;
  // More than a full turn draws nothing new; a non-finite sweep draws nothing.
  const double sweep = std::isfinite(a.sweepDeg) ? std::clamp(a.sweepDeg, -360.0, 360.0) : 0.0;
  const bool circular =
      std::fabs(a.hRadius - a.vRadius) <= kCircularRelTol * std::max(std::fabs(a.hRadius), 1.0);
  out.push_back(Vertex{ArcPoint(a, a.startDeg), kPlainCorner, 0.0});
  if (circular) {
    // Pieces of at most a quarter turn, each an arc vertex at the point where
    // the tangents at its ends meet, with a corner on the arc between pieces;
    // past a quarter turn that point runs off towards infinity.
    const double r = std::fabs(a.hRadius);
    const int pieces = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / kMaxArcPieceDeg)));
    const double step = sweep / pieces;
    const double reach = r / std::cos(step / 2.0 * kDegToRad);
    for (int k = 0; k < pieces; ++k) {
      const double mid = (a.startDeg + step * (k + 0.5)) * kDegToRad;
      out.push_back(Vertex{HostWorldPt{a.center.y + reach * std::sin(mid), a.center.x + reach * std::cos(mid)},
                           kArcVertex, r});
      out.push_back(Vertex{ArcPoint(a, a.startDeg + step * (k + 1)), kPlainCorner, 0.0});
    }
    return out;
  }
  // A chord of parameter step d leaves the curve by at most
  // size * (1 - cos(d / 2)): the step keeps that within the bound.
  const double maxStepDeg = 2.0 * std::acos(1.0 - kEllipseChordRelTol) / kDegToRad;
  const int steps = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / maxStepDeg)));
  for (int i = 1; i <= steps; ++i)
    out.push_back(Vertex{ArcPoint(a, a.startDeg + sweep * i / steps), kPlainCorner, 0.0});
  return out;
}

}  // namespace hostapp
