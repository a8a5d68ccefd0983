#include "geometry/near_match.h"

#include <cmath>
#include <limits>

#include "base/object_types.h"

namespace {

constexpr double kNoMatch = std::numeric_limits<double>::quiet_NaN();
constexpr double kFullTurn = 360.0;
constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
// Sweeps this close to a full turn are one: files write 360.0000000001.
constexpr double kFullTurnSlack = 1e-9;

bool IsFullTurn(double sweep) { return std::fabs(std::fabs(sweep) - kFullTurn) <= kFullTurnSlack; }

// The smaller way round between two angles, in degrees.
double AngleApart(double a, double b) {
  double d = std::fmod(std::fabs(a - b), kFullTurn);
  return d > kFullTurn / 2 ? kFullTurn - d : d;
}

// Largest gap between vertex i of a and vertex (start + step * i) of b; NaN
// once it passes `limit`, so a wrong start costs a vertex or two.
double GapAt(const std::vector<VertexRead>& a, const std::vector<VertexRead>& b, size_t start, int step,
             double limit) {
  const size_t n = a.size();
  double worst = 0;
  for (size_t i = 0; i < n; ++i) {
    const size_t j = (start + n + (step > 0 ? i : n - i % n)) % n;
    const double g = PointGap(a[i].p, b[j].p);
    if (!(g <= worst)) worst = g;  // NaN stays
    if (!(worst <= limit)) return kNoMatch;
  }
  return worst;
}

bool AllPlainCorners(const std::vector<VertexRead>& v) {
  for (const VertexRead& r : v)
    if (DrawsArc(r.type, r.radius)) return false;
  return true;
}

}  // namespace

double PointGap(const WorldPt& a, const WorldPt& b) {
  const double g = std::hypot(a.x - b.x, a.y - b.y);
  return std::isfinite(g) ? g : kNoMatch;
}

double LineGap(const WorldPt& a0, const WorldPt& a1, const WorldPt& b0, const WorldPt& b1) {
  const double same = std::fmax(PointGap(a0, b0), PointGap(a1, b1));
  const double reversed = std::fmax(PointGap(a0, b1), PointGap(a1, b0));
  // fmax passes over one NaN: a gap is only as good as both its ends.
  const double s = std::isnan(PointGap(a0, b0)) || std::isnan(PointGap(a1, b1)) ? kNoMatch : same;
  const double r = std::isnan(PointGap(a0, b1)) || std::isnan(PointGap(a1, b0)) ? kNoMatch : reversed;
  if (std::isnan(s)) return r;
  if (std::isnan(r)) return s;
  return std::fmin(s, r);
}

double ArcGap(const ArcInfo& a, const ArcInfo& b) {
  const double centre = PointGap(a.center, b.center);
  const double radius = std::fmax(std::fabs(a.hRadius - b.hRadius), std::fabs(a.vRadius - b.vRadius));
  const double largest = std::fmax(std::fmax(a.hRadius, a.vRadius), std::fmax(b.hRadius, b.vRadius));
  if (!std::isfinite(centre) || !std::isfinite(radius) || !(largest > 0)) return kNoMatch;
  if (!std::isfinite(a.startAngle) || !std::isfinite(b.startAngle) || !std::isfinite(a.sweepAngle) ||
      !std::isfinite(b.sweepAngle))
    return kNoMatch;
  // Points at the same share of each sweep lie at most this far apart: the
  // centres' gap, the radii's, and the arc the angles differ by.
  double turn = 0;
  const bool aFull = IsFullTurn(a.sweepAngle), bFull = IsFullTurn(b.sweepAngle);
  if (aFull != bFull) return kNoMatch;
  if (!aFull) {
    const double starts = AngleApart(a.startAngle, b.startAngle);
    const double ends = AngleApart(a.startAngle + a.sweepAngle, b.startAngle + b.sweepAngle);
    // Sweeps must agree too, else the ends may meet while the arcs run apart.
    if (std::fabs(a.sweepAngle - b.sweepAngle) > starts + ends) return kNoMatch;
    turn = std::fmax(starts, ends) * kRadiansPerDegree * largest;
  }
  return centre + radius + turn;
}

double VertexListGap(const std::vector<VertexRead>& a, bool aClosed, const std::vector<VertexRead>& b,
                     bool bClosed, double limit) {
  const size_t n = a.size();
  if (n == 0 || b.size() != n || (aClosed && !bClosed)) return kNoMatch;
  if (!AllPlainCorners(a) || !AllPlainCorners(b)) return kNoMatch;
  double best = kNoMatch;
  auto consider = [&best](double g) {
    if (!std::isnan(g) && !(g >= best)) best = g;
  };
  if (aClosed) {
    // Any start, either way round.
    for (size_t start = 0; start < n; ++start) {
      consider(GapAt(a, b, start, +1, limit));
      consider(GapAt(a, b, start, -1, limit));
    }
  } else {
    consider(GapAt(a, b, 0, +1, limit));
    consider(GapAt(a, b, n - 1, -1, limit));
  }
  return best;
}
