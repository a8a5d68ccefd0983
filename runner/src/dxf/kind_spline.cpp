// SPLINE, read only when splines are asked for: the curve by its control
// points (knots, weights) or, when it has none, through its fit points; into
// the host as the flat polyline of lines and arcs that stays within the
// deviation of it. The host never gets a SPLINE back: a changed one is
// written as the polyline it became, an unchanged one byte for byte as the
// SPLINE it was.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "dxf/entity_kind.h"
#include "dxf/polyline_vertices.h"
#include "spline_curve.h"

namespace drawclean {
namespace {

PassReason ReasonOf(SplineFault f) {
  switch (f) {
    case SplineFault::kFewPoints: return PassReason::kSplineFewPoints;
    case SplineFault::kKnots: return PassReason::kSplineKnots;
    case SplineFault::kWeights: return PassReason::kSplineWeights;
    case SplineFault::kNotFinite: return PassReason::kSplineNotFinite;
    case SplineFault::kTooFine: return PassReason::kSplineTooFine;
    default: return PassReason::kNone;
  }
}

// The spline's values as the file gives them.
struct SplineTags {
  Spline curve;
  std::vector<SplinePoint> fit;
  std::optional<SplinePoint> startTangent, endTangent;
  bool closed = false;
  bool flat = true;     // every z is 0, the normal +Z
  bool finite = true;   // every value a finite number
};

// Every value read here, flags and degree too: a spline that says nothing
// usable is left as it is, never a reason to refuse the drawing.
SplineTags Gather(const DxfRecord& r) {
  SplineTags g;
  SplinePoint normal{0, 0};
  double normalZ = 1;
  for (size_t i = r.first + 1; i < r.last; ++i) {
    const int c = r.At(i).code;
    const bool wanted = (c >= 10 && c <= 13) || (c >= 20 && c <= 23) || (c >= 30 && c <= 33) || c == 40 ||
                        c == 41 || c == 70 || c == 71 || c == 210 || c == 220 || c == 230;
    if (!wanted) continue;
    const auto v = TagDouble(r.At(i));
    if (!v || !std::isfinite(*v)) {
      g.finite = false;
      continue;
    }
    switch (c) {
      case 10: g.curve.control.push_back({*v, 0}); break;
      case 20: if (!g.curve.control.empty()) g.curve.control.back().y = *v; break;
      case 11: g.fit.push_back({*v, 0}); break;
      case 21: if (!g.fit.empty()) g.fit.back().y = *v; break;
      case 12: g.startTangent = SplinePoint{*v, 0}; break;
      case 22: if (g.startTangent) g.startTangent->y = *v; break;
      case 13: g.endTangent = SplinePoint{*v, 0}; break;
      case 23: if (g.endTangent) g.endTangent->y = *v; break;
      case 40: g.curve.knots.push_back(*v); break;
      case 41: g.curve.weights.push_back(*v); break;
      case 70: g.closed = (int64_t(std::clamp(*v, -1e9, 1e9)) & 1) != 0; break;
      // Out of range it is no degree: CheckSpline refuses it.
      case 71: g.curve.degree = int(std::clamp(*v, -1.0, 1000.0)); break;
      case 210: normal.x = *v; break;
      case 220: normal.y = *v; break;
      case 230: normalZ = *v; break;
      default: if (*v != 0) g.flat = false;  // a z (30 to 33)
    }
  }
  if (normal.x != 0 || normal.y != 0 || normalZ != 1) g.flat = false;
  return g;
}

}  // namespace

bool ReadSpline(DxfEntityRecord& rec, const DxfRecord& r, double deviation, hostapp::Object& o) {
  auto refuse = [&](PassReason why) {
    rec.passReason = why;
    return false;
  };
  SplineTags g = Gather(r);
  if (!g.finite) return refuse(PassReason::kSplineNotFinite);
  if (!g.flat) return refuse(PassReason::kOffPlane);
  // Control points say the curve exactly; fit points only where there are none.
  const Spline curve = !g.curve.control.empty() ? std::move(g.curve)
                                                : SplineThroughPoints(g.fit, g.startTangent, g.endTangent, g.closed);
  SplineFault fault = SplineFault::kNone;
  std::vector<SplineVertex> points = FlattenSplineWithArcs(curve, deviation, size_t(kMaxVertices), &fault);
  if (fault != SplineFault::kNone) return refuse(ReasonOf(fault));
  // Ends that meet close the outline (a closed spline's always do); the last
  // vertex's segment then runs to the first.
  bool closed = false;
  const SplinePoint first = points.front().p, last = points.back().p;
  if (points.size() > 2 && std::hypot(last.x - first.x, last.y - first.y) <= deviation) {
    points.pop_back();
    closed = true;
  }
  std::vector<BulgeVertex> vs;
  vs.reserve(points.size());
  for (const SplineVertex& v : points) vs.push_back(BulgeVertex{v.p.x, v.p.y, v.bulge});
  return ReadFlatVertices(rec, vs, closed, o);
}

}  // namespace drawclean
