#include "geometry/window_line.h"

#include <cmath>

#include "geometry/coords.h"

namespace {

double SquaredDistance(WorldPt p, WorldPt q) {
  const WorldPt d = p - q;
  return d.x * d.x + d.y * d.y;
}

}  // namespace

WindowLine LineThrough(WorldPt a, WorldPt b) {
  const WorldPt u = b - a;
  WindowLine line{a, b, u, 0.0};
  if (!(CoordsEqual(std::fabs(u.x), 0.0) && CoordsEqual(std::fabs(u.y), 0.0))) {
    line.length = std::sqrt(u.x * u.x + u.y * u.y);
    line.e = WorldPt(u.x / line.length, u.y / line.length);
  }
  return line;
}

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


namespace {

constexpr double kPi = 3.14159265358979323846;
// Corners just beyond tolC would allow nearly a half turn, where asin loses
// its precision: their share is capped.
constexpr double kMaxSine = 0.99;
constexpr double kAngleMargin = 1e-9;

double Turned(double angle) {
  if (angle > kPi) return angle - 2 * kPi;
  if (angle <= -kPi) return angle + 2 * kPi;
  return angle;
}

}  // namespace

WindowCone::WindowCone(WorldPt anchor, double tolSquared, double largest) : a_(anchor), largest_(largest) {
  const double tol = std::sqrt(tolSquared);
  const double rounding = 1e-14 * std::fmax(1.0, largest);
  tolC_ = tol * (1 - 1e-6) - rounding;
  valid_ = std::isfinite(tol) && tol > 0 && std::isfinite(largest) && tolC_ > 0.5 * tol &&
           std::isfinite(anchor.x) && std::isfinite(anchor.y);
}

void WindowCone::Add(WorldPt p) {
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

bool WindowCone::Certifies(WorldPt b) const {
  if (!valid_) return false;
  const double dx = b.x - a_.x, dy = b.y - a_.y;
  const double length = std::hypot(dx, dy);
  if (!(length > farthest_ * (1 + 1e-12)) || !(length >= 1e-12 * std::fmax(1.0, largest_))) return false;
  if (!directed_) return true;
  const double at = Turned(std::atan2(dy, dx) - reference_);
  return low_ <= at && at <= high_;
}
