#include "spline_curve.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace drawclean {
namespace {

// Beyond this a degree costs more than any drawing's curve needs.
constexpr int kMaxDegree = 30;
// Splits of a piece before it is taken as it is: 2^-40 of a span is below
// what the knots' own rounding can tell apart.
constexpr int kMaxDepth = 40;
// Every knot span starts as this many pieces, so that a wave inside one span
// cannot hide between the seven points checked.
constexpr int kFirstPieces = 4;
// The curve may bulge a little past the farthest of the seven points checked
// (a thousandth of the deviation on random splines of degree 5): pieces are
// held to 90 % of it so the whole curve stays within.
constexpr double kCheckedShare = 0.9;
// Arcs replace at least this many straight pieces.
constexpr size_t kMinArcPieces = 3;
// Points laid out before and after a closed fit-point curve's turn.
constexpr size_t kClosingPoints = 12;

bool Finite(const SplinePoint& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

double DistanceToChord(const SplinePoint& p, const SplinePoint& a, const SplinePoint& b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// Solves a tridiagonal system (sub a, diagonal b, super c) for two right-hand
// sides at once (x and y).
std::vector<SplinePoint> SolveTridiagonal(std::vector<double> a, std::vector<double> b, std::vector<double> c,
                                          std::vector<SplinePoint> r) {
  const size_t n = b.size();
  for (size_t i = 1; i < n; ++i) {
    const double m = a[i] / b[i - 1];
    b[i] -= m * c[i - 1];
    r[i].x -= m * r[i - 1].x;
    r[i].y -= m * r[i - 1].y;
  }
  std::vector<SplinePoint> x(n);
  for (size_t i = n; i-- > 0;) {
    const SplinePoint next = i + 1 < n ? x[i + 1] : SplinePoint{};
    const double ci = i + 1 < n ? c[i] : 0;
    x[i] = {(r[i].x - ci * next.x) / b[i], (r[i].y - ci * next.y) / b[i]};
  }
  return x;
}

// First derivatives at each point of the C2 cubic through `p` at parameters
// `t`; a given end derivative holds that end, else its second derivative is 0.
std::vector<SplinePoint> Derivatives(const std::vector<SplinePoint>& p, const std::vector<double>& t,
                                     std::optional<SplinePoint> d0, std::optional<SplinePoint> dn) {
  const size_t n = p.size();
  std::vector<double> a(n, 0), b(n, 0), c(n, 0);
  std::vector<SplinePoint> r(n);
  auto slope = [&](size_t i) {
    const double h = t[i + 1] - t[i];
    return SplinePoint{(p[i + 1].x - p[i].x) / h, (p[i + 1].y - p[i].y) / h};
  };
  for (size_t i = 1; i + 1 < n; ++i) {
    const double h0 = t[i] - t[i - 1], h1 = t[i + 1] - t[i];
    const SplinePoint s0 = slope(i - 1), s1 = slope(i);
    a[i] = h1, b[i] = 2 * (h0 + h1), c[i] = h0;
    r[i] = {3 * (h1 * s0.x + h0 * s1.x), 3 * (h1 * s0.y + h0 * s1.y)};
  }
  const SplinePoint first = slope(0), last = slope(n - 2);
  if (d0) b[0] = 1, r[0] = *d0;
  else b[0] = 2, c[0] = 1, r[0] = {3 * first.x, 3 * first.y};
  if (dn) b[n - 1] = 1, r[n - 1] = *dn;
  else a[n - 1] = 1, b[n - 1] = 2, r[n - 1] = {3 * last.x, 3 * last.y};
  return SolveTridiagonal(a, b, c, r);
}

SplinePoint UnitOrZero(SplinePoint v) {
  const double len = std::hypot(v.x, v.y);
  return len > 0 && std::isfinite(len) ? SplinePoint{v.x / len, v.y / len} : SplinePoint{};
}

struct Flattener {
  const Spline& s;
  double deviation;
  size_t maxPoints;
  std::vector<SplinePoint> out;
  std::vector<double> params;  // of each point of `out`
  bool tooMany = false;

  void Piece(double t0, const SplinePoint& p0, double t1, const SplinePoint& p1, int depth) {
    if (tooMany) return;
    double worst = 0;
    for (int j = 1; j < 8; ++j) worst = std::max(worst, DistanceToChord(SplineAt(s, t0 + (t1 - t0) * j / 8), p0, p1));
    if (worst > deviation && depth < kMaxDepth) {
      const double tm = 0.5 * (t0 + t1);
      const SplinePoint pm = SplineAt(s, tm);
      Piece(t0, p0, tm, pm, depth + 1);
      Piece(tm, pm, t1, p1, depth + 1);
      return;
    }
    out.push_back(p1);
    params.push_back(t1);
    tooMany = out.size() > maxPoints;
  }
};

// A circular arc from a through m to b: centre, radius, start angle and
// signed sweep (counter-clockwise positive).
struct Arc {
  SplinePoint c;
  double r = 0, start = 0, sweep = 0;
};

std::optional<Arc> ArcThrough(const SplinePoint& a, const SplinePoint& m, const SplinePoint& b) {
  const double bx = m.x - a.x, by = m.y - a.y, cx = b.x - a.x, cy = b.y - a.y;
  const double d = 2 * (bx * cy - by * cx);
  const double b2 = bx * bx + by * by, c2 = cx * cx + cy * cy;
  // Nearly straight: the centre is lost in rounding, and lines serve.
  if (!(std::abs(d) > 1e-9 * std::max(b2, c2))) return std::nullopt;
  Arc arc;
  arc.c = {a.x + (cy * b2 - by * c2) / d, a.y + (bx * c2 - cx * b2) / d};
  arc.r = std::hypot(a.x - arc.c.x, a.y - arc.c.y);
  const double turn = 2 * std::numbers::pi;
  auto angle = [&](const SplinePoint& p) { return std::atan2(p.y - arc.c.y, p.x - arc.c.x); };
  auto ccwFrom = [&](double from, double to) { return std::fmod(std::fmod(to - from, turn) + turn, turn); };
  arc.start = angle(a);
  const double toB = ccwFrom(arc.start, angle(b)), toM = ccwFrom(arc.start, angle(m));
  arc.sweep = toM < toB ? toB : toB - turn;
  if (!std::isfinite(arc.r) || !std::isfinite(arc.sweep)) return std::nullopt;
  return arc;
}

// Whether p lies on the arc within `deviation`, and between its ends.
bool OnArc(const Arc& arc, const SplinePoint& p, double deviation) {
  if (!(std::abs(std::hypot(p.x - arc.c.x, p.y - arc.c.y) - arc.r) <= deviation)) return false;
  const double turn = 2 * std::numbers::pi;
  double along = std::fmod(std::atan2(p.y - arc.c.y, p.x - arc.c.x) - arc.start, turn);
  if (arc.sweep < 0) along = -along;
  along = std::fmod(along + turn, turn);
  const double slack = deviation / arc.r;  // an end point may sit a rounding outside
  return along <= std::abs(arc.sweep) + slack || along >= turn - slack;
}

}  // namespace

SplineFault CheckSpline(const Spline& s) {
  const size_t n = s.control.size(), p = size_t(std::max(s.degree, 0));
  if (s.degree < 1 || s.degree > kMaxDegree) return SplineFault::kKnots;
  if (n < p + 1) return SplineFault::kFewPoints;
  for (const SplinePoint& c : s.control)
    if (!Finite(c)) return SplineFault::kNotFinite;
  for (double k : s.knots)
    if (!std::isfinite(k)) return SplineFault::kNotFinite;
  if (s.knots.size() != n + p + 1) return SplineFault::kKnots;
  for (size_t i = 1; i < s.knots.size(); ++i)
    if (s.knots[i] < s.knots[i - 1]) return SplineFault::kKnots;
  if (!(s.knots[n] > s.knots[p])) return SplineFault::kKnots;
  if (!s.weights.empty()) {
    if (s.weights.size() != n) return SplineFault::kWeights;
    for (double w : s.weights)
      if (!std::isfinite(w)) return SplineFault::kNotFinite;
      else if (!(w > 0)) return SplineFault::kWeights;
  }
  return SplineFault::kNone;
}

SplinePoint SplineAt(const Spline& s, double t) {
  const size_t p = size_t(s.degree), n = s.control.size();
  const std::vector<double>& u = s.knots;
  t = std::clamp(t, u[p], u[n]);
  // The span [u[k], u[k+1]) holding t; the last span with any length at the end.
  size_t k = size_t(std::upper_bound(u.begin() + long(p), u.begin() + long(n), t) - u.begin()) - 1;
  while (k > p && u[k] == u[k + 1]) --k;
  // Homogeneous points: x*w, y*w, w; weights 1 for a plain spline.
  struct H {
    double x, y, w;
  };
  std::vector<H> d(p + 1);
  for (size_t j = 0; j <= p; ++j) {
    const size_t i = k - p + j;
    const double w = s.weights.empty() ? 1.0 : s.weights[i];
    d[j] = {s.control[i].x * w, s.control[i].y * w, w};
  }
  for (size_t r = 1; r <= p; ++r)
    for (size_t j = p; j >= r; --j) {
      const size_t i = k - p + j;
      const double span = u[i + p + 1 - r] - u[i];
      const double a = span > 0 ? (t - u[i]) / span : 0;
      d[j] = {(1 - a) * d[j - 1].x + a * d[j].x, (1 - a) * d[j - 1].y + a * d[j].y, (1 - a) * d[j - 1].w + a * d[j].w};
    }
  return {d[p].x / d[p].w, d[p].y / d[p].w};
}

Spline SplineThroughPoints(std::vector<SplinePoint> fit, std::optional<SplinePoint> startTangent,
                           std::optional<SplinePoint> endTangent, bool closed) {
  auto same = [](const SplinePoint& a, const SplinePoint& b) { return a.x == b.x && a.y == b.y; };
  fit.erase(std::unique(fit.begin(), fit.end(), same), fit.end());
  if (closed && fit.size() > 2 && same(fit.front(), fit.back())) fit.pop_back();
  Spline s;
  if (fit.size() < 2) {
    s.control = fit;  // too few: CheckSpline says so
    return s;
  }
  // A closed curve: the points are laid out several times over and the middle
  // turn taken, so its ends meet the way every other point meets its
  // neighbours. The free ends' pull shrinks about fourfold a point: twelve
  // points away it is below 1e-7.
  std::vector<SplinePoint> p;
  const size_t m = fit.size();
  const size_t pad = closed ? (kClosingPoints + m - 1) / m : 0;
  const size_t copies = 2 * pad + 1;
  for (size_t c = 0; c < copies; ++c) p.insert(p.end(), fit.begin(), fit.end());
  if (closed) p.push_back(fit.front());
  std::vector<double> t(p.size(), 0);
  for (size_t i = 1; i < p.size(); ++i) t[i] = t[i - 1] + std::hypot(p[i].x - p[i - 1].x, p[i].y - p[i - 1].y);
  // With the distance as parameter a unit tangent is the derivative's own length.
  auto end = [&](std::optional<SplinePoint> v) {
    return v && !closed ? std::optional<SplinePoint>(UnitOrZero(*v)) : std::nullopt;
  };
  const std::optional<SplinePoint> d0 = end(startTangent), dn = end(endTangent);
  const std::vector<SplinePoint> d = Derivatives(p, t, d0 && (d0->x || d0->y) ? d0 : std::nullopt,
                                                 dn && (dn->x || dn->y) ? dn : std::nullopt);
  const size_t from = pad * m, to = closed ? from + m : p.size() - 1;
  // Each piece as a cubic Bézier: knots of multiplicity 3 between pieces.
  s.degree = 3;
  s.knots.assign(4, t[from]);
  s.control.push_back(p[from]);
  for (size_t i = from; i < to; ++i) {
    const double h = (t[i + 1] - t[i]) / 3;
    s.control.push_back({p[i].x + d[i].x * h, p[i].y + d[i].y * h});
    s.control.push_back({p[i + 1].x - d[i + 1].x * h, p[i + 1].y - d[i + 1].y * h});
    s.control.push_back(p[i + 1]);
    s.knots.insert(s.knots.end(), i + 1 == to ? 4 : 3, t[i + 1]);
  }
  return s;
}

std::vector<SplinePoint> FlattenSpline(const Spline& s, double deviation, size_t maxPoints, SplineFault* fault,
                                       std::vector<double>* params) {
  SplineFault f = CheckSpline(s);
  std::vector<SplinePoint> out;
  if (f == SplineFault::kNone) {
    Flattener fl{s, std::max(deviation, 0.0) * kCheckedShare, maxPoints, {}, {}, false};
    const size_t p = size_t(s.degree), n = s.control.size();
    double t0 = s.knots[p];
    SplinePoint p0 = SplineAt(s, t0);
    fl.out.push_back(p0);
    fl.params.push_back(t0);
    for (size_t k = p; k < n && !fl.tooMany; ++k) {
      const double a = s.knots[k], b = s.knots[k + 1];
      if (!(b > a)) continue;
      for (int j = 1; j <= kFirstPieces; ++j) {
        const double t1 = j == kFirstPieces ? b : a + (b - a) * j / kFirstPieces;
        const SplinePoint p1 = SplineAt(s, t1);
        fl.Piece(t0, p0, t1, p1, 0);
        t0 = t1, p0 = p1;
      }
    }
    for (const SplinePoint& q : fl.out)
      if (!Finite(q)) f = SplineFault::kNotFinite;
    if (fl.tooMany) f = SplineFault::kTooFine;
    if (f == SplineFault::kNone) out = std::move(fl.out);
    if (f == SplineFault::kNone && params) *params = std::move(fl.params);
  }
  if (fault) *fault = f;
  return out;
}

}  // namespace drawclean

namespace drawclean {

std::vector<SplineVertex> FlattenSplineWithArcs(const Spline& s, double deviation, size_t maxPoints,
                                                SplineFault* fault) {
  std::vector<double> t;
  const std::vector<SplinePoint> points = FlattenSpline(s, deviation, maxPoints, fault, &t);
  const double held = std::max(deviation, 0.0) * kCheckedShare;
  // Whether one arc follows the curve from point i to point j: checked at
  // every point between and at three more inside each piece.
  auto arcFits = [&](size_t i, size_t j) -> std::optional<Arc> {
    const auto arc = ArcThrough(points[i], SplineAt(s, 0.5 * (t[i] + t[j])), points[j]);
    if (!arc || std::abs(arc->sweep) > std::numbers::pi) return std::nullopt;
    for (size_t k = i; k < j; ++k)
      for (double f : {0.0, 0.25, 0.5, 0.75})
        if (!OnArc(*arc, f == 0 ? points[k] : SplineAt(s, t[k] + (t[k + 1] - t[k]) * f), held)) return std::nullopt;
    return arc;
  };
  std::vector<SplineVertex> out;
  for (size_t i = 0; i < points.size();) {
    // The longest run from i that one arc follows: doubled while it fits,
    // then halved between the last that fitted and the first that did not.
    size_t fits = 0, fails = points.size();
    double bulge = 0;
    auto tryRun = [&](size_t j) {
      const auto arc = arcFits(i, j);
      if (arc) fits = j, bulge = std::tan(arc->sweep / 4);
      else fails = j;
      return arc.has_value();
    };
    for (size_t j = i + kMinArcPieces; j < points.size() && tryRun(j); j = i + 2 * (j - i)) {}
    if (fits && fails == points.size() && fits + 1 < points.size()) tryRun(points.size() - 1);
    while (fits && fails > fits + 1 && fails < points.size()) tryRun(fits + (fails - fits) / 2);
    const size_t end = fits ? fits : i + 1;
    out.push_back({points[i], fits ? bulge : 0});
    i = end;
  }
  return out;
}

}  // namespace drawclean
