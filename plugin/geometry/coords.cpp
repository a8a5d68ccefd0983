#include "geometry/coords.h"

#include <cfloat>
#include <cmath>

#include "base/run_globals.h"

namespace {

// Magnitude below which values are compared absolutely: relative to a value
// this small, the tolerance would shrink to nothing.
constexpr double kAbsoluteCompareLimit = 1e-13;

// One hundredth of the point tolerance decides whether two points coincide.
constexpr double kPointToleranceDivisor = 100.0;

bool Encloses(double value, double a, double b) {
  return (a <= value && value <= b) || (b <= value && value <= a);
}

bool IsExactlyEmptyRect(double left, double top, double right, double bottom) {
  return top == -DBL_MAX && left == DBL_MAX && bottom == DBL_MAX && right == -DBL_MAX;
}

}  // namespace

DebugReportCountdown gWorldRectSetReports;

bool CoordsEqual(double a, double b, double tolerance) {
  if (std::isnan(a) || std::isnan(b)) return false;
  const double diff = std::fabs(a - b);
  // Strict on a, inclusive on b: callers rely on this exact switch.
  if (std::fabs(a) < kAbsoluteCompareLimit || std::fabs(b) <= kAbsoluteCompareLimit) {
    return diff <= tolerance;
  }
  return diff <= tolerance * std::fmax(std::fabs(a), std::fabs(b));
}

bool operator==(const WorldPt& p, const WorldPt& q) {
  return CoordsEqual(p.y, q.y) && CoordsEqual(p.x, q.x);
}
bool operator!=(const WorldPt& p, const WorldPt& q) { return !(p == q); }

bool operator==(const WorldPt3D& p, const WorldPt3D& q) {
  return CoordsEqual(p.x, q.x) && CoordsEqual(p.y, q.y) && CoordsEqual(p.z, q.z);
}
bool operator!=(const WorldPt3D& p, const WorldPt3D& q) { return !(p == q); }

WorldPt operator-(const WorldPt& p, const WorldPt& q) { return WorldPt(p.x - q.x, p.y - q.y); }
WorldPt operator+(const WorldPt& p, const WorldPt& q) { return WorldPt(p.x + q.x, p.y + q.y); }
WorldPt operator*(const WorldPt& p, double s) { return WorldPt(p.x * s, p.y * s); }

bool PointsWithinTolerance(const WorldPt& p, const WorldPt& q) {
  const WorldPt d = q - p;
  const double limit = gPointTolerance / kPointToleranceDivisor;
  return std::fabs(d.x) <= limit && std::fabs(d.y) <= limit;
}

bool ArePointsCollinear(const WorldPt& a, const WorldPt& b, const WorldPt& c) {
  if (c == a || c == b) return true;
  if (a.x == b.x && b.x == c.x) return true;
  // c straight above a with b beside them: the slope through a and c is
  // infinite and b cannot lie on that line. Decided here, not by dividing by 0.
  if (c.x == a.x) return false;
  const double slope = (c.y - a.y) / (c.x - a.x);
  return std::fabs(b.y - (a.y + (b.x - a.x) * slope)) < kCollinearityLimit;
}

bool PointInBox(const WorldPt& p, const WorldPt& a, const WorldPt& b) {
  return Encloses(p.x, a.x, b.x) && Encloses(p.y, a.y, b.y);
}

void Set(WorldRect& r, double left, double top, double right, double bottom) {
  r.left = left;
  r.top = top;
  r.right = right;
  r.bottom = bottom;
  if (left <= right && bottom <= top) {
    CLEANUP_CHECK(gWorldRectSetReports,
                  (left >= -kMaxLegalWorldCoord) && (bottom >= -kMaxLegalWorldCoord) &&
                      (top <= kMaxLegalWorldCoord) && (right <= kMaxLegalWorldCoord),
                  "((left >= -kMaxLegalWorldCoord) && (bottom >= -kMaxLegalWorldCoord) && "
                  "(top <= kMaxLegalWorldCoord) && (right <= kMaxLegalWorldCoord))");
    return;
  }
  if (IsExactlyEmptyRect(left, top, right, bottom)) return;
  CLEANUP_REPORT(gWorldRectSetReports,
                 "Invalid partially empty WorldRect specified. Check for uninitialized values.");
  r = WorldRect();
}

bool IsEmpty(const WorldRect& r) { return r.top < r.bottom || r.right < r.left; }

bool operator==(const WorldRect& r, const WorldRect& s) {
  const bool rEmpty = IsEmpty(r);
  const bool sEmpty = IsEmpty(s);
  if (rEmpty || sEmpty) return rEmpty && sEmpty;
  return CoordsEqual(r.top, s.top) && CoordsEqual(r.right, s.right) &&
         CoordsEqual(r.left, s.left) && CoordsEqual(r.bottom, s.bottom);
}
bool operator!=(const WorldRect& r, const WorldRect& s) { return !(r == s); }

bool BoundsNear(const WorldRect& r, const WorldRect& s) {
  if ((r.right - r.left) + (s.right - s.left) < std::fabs(r.right - s.right)) return false;
  if ((r.top - r.bottom) + (s.top - s.bottom) < std::fabs(r.top - s.top)) return false;
  return true;
}

double Minimum(double a, double b) { return a < b ? a : b; }
double Maximum(double a, double b) { return a > b ? a : b; }
