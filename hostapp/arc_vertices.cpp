#include "hostapp/arc_vertices.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "hostapp/geometry.h"

namespace hostapp {
namespace {

// Ends of an arc segment and neighbouring vertices closer than this (relative
// to the coordinates' size) are one point: it only absorbs rounding of the
// tangent-point construction.
constexpr double kSamePointRelative = 1e-9;
// How far a fillet's tangent point may lie from its corner, in lengths of
// the shorter leg, and still draw an arc.
constexpr double kFilletOvershoot = 2.0;

HostWorldPt P(double x, double y) { return HostWorldPt{y, x}; }

bool Near(double ax, double ay, double bx, double by) {
  double scale = std::max({1.0, std::fabs(ax), std::fabs(ay), std::fabs(bx), std::fabs(by)});
  // Relative to an infinite coordinate every gap would be rounding.
  if (std::isinf(scale)) return ax == bx && ay == by;
  return std::fabs(ax - bx) <= kSamePointRelative * scale &&
         std::fabs(ay - by) <= kSamePointRelative * scale;
}

}  // namespace

std::optional<BulgeArc> ArcOfBulge(const BulgeVertex& a, const BulgeVertex& b) {
  if (a.bulge == 0.0) return std::nullopt;
  const double chord = std::hypot(b.x - a.x, b.y - a.y);
  if (chord == 0.0) return std::nullopt;
  const double sweep = 4.0 * std::atan(a.bulge);  // |sweep| < 2 pi
  const double mx = (a.x + b.x) / 2, my = (a.y + b.y) / 2;
  const double lx = -(b.y - a.y) / chord, ly = (b.x - a.x) / chord;  // left of the chord
  const double offset = (chord / 2) / std::tan(sweep / 2);
  const double cx = mx + lx * offset, cy = my + ly * offset;
  return BulgeArc{cx, cy, std::hypot(a.x - cx, a.y - cy), std::atan2(a.y - cy, a.x - cx), sweep};
}

std::vector<Vertex> VerticesFromBulges(const std::vector<BulgeVertex>& in, bool closed) {
  std::vector<Vertex> out;
  const size_t n = in.size();
  for (size_t i = 0; i < n; ++i) {
    const BulgeVertex& a = in[i];
    out.push_back(Vertex{P(a.x, a.y), kPlainCorner, 0.0});
    if (a.bulge == 0.0 || (!closed && i + 1 == n)) continue;
    const auto arc = ArcOfBulge(a, in[(i + 1) % n]);
    if (!arc) continue;
    const double sweep = arc->sweepRad, cx = arc->cx, cy = arc->cy, r = arc->r, a0 = arc->startRad;
    const int pieces = std::max(1, int(std::ceil(std::fabs(sweep) * 180 / std::numbers::pi /
                                                 kMaxArcPieceDeg - 1e-9)));
    const double step = sweep / pieces;
    for (int k = 0; k < pieces; ++k) {
      const double mid = a0 + step * (k + 0.5);
      const double reach = r / std::cos(step / 2);
      out.push_back(Vertex{P(cx + reach * std::cos(mid), cy + reach * std::sin(mid)), kArcVertex, r});
      if (k + 1 < pieces) {
        const double end = a0 + step * (k + 1);
        out.push_back(Vertex{P(cx + r * std::cos(end), cy + r * std::sin(end)), kPlainCorner, 0.0});
      }
    }
  }
  return out;
}

std::vector<BulgeVertex> BulgesFromVertices(const std::vector<Vertex>& in, bool closed) {
  std::vector<BulgeVertex> out;
  const size_t n = in.size();
  // Whether out.back() is a vertex as given rather than a tangent point.
  bool backExact = false;
  auto push = [&](double x, double y, double bulge, bool exact) {
    // Two vertices as given are one only when equal: their gap is no
    // rounding, and merging by nearness would chain along a run of close ones.
    const bool same = exact && backExact ? out.back().x == x && out.back().y == y
                                         : !out.empty() && Near(out.back().x, out.back().y, x, y);
    if (same) {
      if (exact) out.back().x = x, out.back().y = y;
      if (bulge != 0.0 || exact) out.back().bulge = bulge;
      backExact = backExact || exact;
      return;
    }
    out.push_back(BulgeVertex{x, y, bulge});
    backExact = exact;
  };
  for (size_t i = 0; i < n; ++i) {
    const Vertex& v = in[i];
    const bool hasPrev = closed || i > 0, hasNext = closed || i + 1 < n;
    if (v.type != kArcVertex || !hasPrev || !hasNext || n < 3 || !(v.radius > 0)) {
      push(v.p.x, v.p.y, 0.0, true);
      continue;
    }
    const Vertex& pv = in[(i + n - 1) % n];
    const Vertex& nv = in[(i + 1) % n];
    const double ux = pv.p.x - v.p.x, uy = pv.p.y - v.p.y;
    const double wx = nv.p.x - v.p.x, wy = nv.p.y - v.p.y;
    const double lu = std::hypot(ux, uy), lw = std::hypot(wx, wy);
    if (lu == 0 || lw == 0) {
      push(v.p.x, v.p.y, 0.0, true);
      continue;
    }
    // Turning angle at the tangent point; the arc meets both legs at r*tan(turn/2).
    const double cross = (-ux) * wy - (-uy) * wx;  // (T - prev) x (next - T)
    const double dot = (-ux) * wx + (-uy) * wy;
    const double turn = std::atan2(std::fabs(cross), dot);
    if (turn <= 0 || !std::isfinite(turn)) {
      push(v.p.x, v.p.y, 0.0, true);
      continue;
    }
    const double leg = v.radius * std::tan(turn / 2);
    // A fillet far too large for its legs (a tangent point further past its
    // neighbour than the neighbour lies from the corner: the outline turns
    // back on itself, or the radius is out of all proportion) draws as the
    // corner it stands at. Drawn as given, a turn of nearly a half turn would
    // throw the arc a million units out. One that overshoots a little, as
    // noise or a nudged neighbour leaves it, still draws its arc.
    if (!(leg <= kFilletOvershoot * std::min(lu, lw))) {
      push(v.p.x, v.p.y, 0.0, true);
      continue;
    }
    const double bulge = std::copysign(std::tan(turn / 4), cross);
    const double ax = v.p.x + ux / lu * leg, ay = v.p.y + uy / lu * leg;
    const double bx = v.p.x + wx / lw * leg, by = v.p.y + wy / lw * leg;
    // Tangent points a rounding apart draw no arc: its bulge would land on
    // the next segment instead, whatever its length.
    if (Near(ax, ay, bx, by)) {
      push(ax, ay, 0.0, false);
      continue;
    }
    push(ax, ay, bulge, false);
    push(bx, by, 0.0, false);
  }
  if (closed && out.size() > 1 && Near(out.back().x, out.back().y, out[0].x, out[0].y) &&
      out.back().bulge == 0.0)
    out.pop_back();
  return out;
}

}  // namespace hostapp
