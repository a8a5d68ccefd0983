// The spline maths: de Boor evaluation against curves known exactly, the
// polyline's distance from the curve on seeded random splines, fit-point
// curves through their points, and every undrawable spline refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <limits>
#include <random>

#include "spline_curve.h"

namespace drawclean {
namespace {

double SegmentDistance(const SplinePoint& p, const SplinePoint& a, const SplinePoint& b) {
  const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
  const double t = len2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0) : 0;
  return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

double PolylineDistance(const SplinePoint& p, const std::vector<SplinePoint>& poly) {
  double best = std::numeric_limits<double>::infinity();
  for (size_t i = 0; i + 1 < poly.size(); ++i) best = std::min(best, SegmentDistance(p, poly[i], poly[i + 1]));
  return best;
}

// The farthest the curve strays from the polyline, sampled densely.
double Farthest(const Spline& s, const std::vector<SplinePoint>& poly, int samples = 3000) {
  const double a = s.knots[size_t(s.degree)], b = s.knots[s.control.size()];
  double worst = 0;
  for (int i = 0; i <= samples; ++i) worst = std::max(worst, PolylineDistance(SplineAt(s, a + (b - a) * i / samples), poly));
  return worst;
}

// The distance from p to a polyline with arcs, each arc measured as a
// circle between its ends.
double ArcPolylineDistance(const SplinePoint& p, const std::vector<SplineVertex>& vs) {
  double best = std::numeric_limits<double>::infinity();
  for (size_t i = 0; i + 1 < vs.size(); ++i) {
    const SplinePoint a = vs[i].p, b = vs[i + 1].p;
    if (vs[i].bulge == 0) {
      best = std::min(best, SegmentDistance(p, a, b));
      continue;
    }
    const double sweep = 4 * std::atan(vs[i].bulge), chord = std::hypot(b.x - a.x, b.y - a.y);
    // The centre lies left of a to b for a counter-clockwise sweep under half a turn.
    const double d = chord / 2 / std::tan(sweep / 2);
    const SplinePoint c{(a.x + b.x) / 2 - (b.y - a.y) / chord * d, (a.y + b.y) / 2 + (b.x - a.x) / chord * d};
    const double r = std::hypot(a.x - c.x, a.y - c.y), turn = 2 * std::numbers::pi;
    double along = std::atan2(p.y - c.y, p.x - c.x) - std::atan2(a.y - c.y, a.x - c.x);
    along = std::fmod(std::fmod(sweep > 0 ? along : -along, turn) + turn, turn);
    const double ends = std::min(std::hypot(p.x - a.x, p.y - a.y), std::hypot(p.x - b.x, p.y - b.y));
    best = std::min(best, along <= std::abs(sweep) ? std::abs(std::hypot(p.x - c.x, p.y - c.y) - r) : ends);
  }
  return best;
}

// The unit circle as a rational quadratic: nine control points, weights
// 1 and 1/sqrt(2) at the corners.
Spline UnitCircle() {
  Spline s;
  s.degree = 2;
  const double w = std::sqrt(0.5);
  s.control = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}, {1, 0}};
  s.weights = {1, w, 1, w, 1, w, 1, w, 1};
  s.knots = {0, 0, 0, 0.25, 0.25, 0.5, 0.5, 0.75, 0.75, 1, 1, 1};
  return s;
}

TEST(SplineCurve, RationalCircleIsExact) {
  const Spline s = UnitCircle();
  ASSERT_EQ(CheckSpline(s), SplineFault::kNone);
  for (int i = 0; i <= 1000; ++i) {
    const SplinePoint p = SplineAt(s, i / 1000.0);
    EXPECT_NEAR(std::hypot(p.x, p.y), 1.0, 1e-14) << i;
  }
  for (double deviation : {0.1, 0.01, 1e-4}) {
    SplineFault f;
    const auto poly = FlattenSpline(s, deviation, 32767, &f);
    ASSERT_EQ(f, SplineFault::kNone);
    for (const SplinePoint& p : poly) EXPECT_NEAR(std::hypot(p.x, p.y), 1.0, 1e-14);
    // A chord's sag on a unit circle: 1 - cos(half its angle).
    for (size_t i = 0; i + 1 < poly.size(); ++i) {
      const double half = std::acos(std::clamp(poly[i].x * poly[i + 1].x + poly[i].y * poly[i + 1].y, -1.0, 1.0)) / 2;
      EXPECT_LE(1 - std::cos(half), deviation) << deviation << " piece " << i;
    }
    EXPECT_NEAR(poly.front().x, poly.back().x, 1e-15);
    EXPECT_NEAR(poly.front().y, poly.back().y, 1e-15);
  }
}

// Random splines of every degree, clamped or not, plain or rational: the
// curve never strays farther than the deviation from its polyline.
TEST(SplineCurve, PolylineStaysWithinTheDeviation) {
  std::mt19937 rng(20261209);
  std::uniform_real_distribution<double> coord(-50, 50), weight(0.2, 5), gap(0, 2);
  for (int trial = 0; trial < 50; ++trial) {
    Spline s;
    s.degree = 1 + trial % 5;
    const size_t n = size_t(s.degree) + 1 + size_t(trial % 7);
    for (size_t i = 0; i < n; ++i) s.control.push_back({coord(rng), coord(rng)});
    if (trial % 2) for (size_t i = 0; i < n; ++i) s.weights.push_back(weight(rng));
    const bool clamped = trial % 3 != 0;
    double k = 0;
    for (size_t i = 0; i < n + size_t(s.degree) + 1; ++i) {
      const bool end = i <= size_t(s.degree) || i > n;
      // Some inner knots repeated, up to the degree.
      const bool repeat = trial % 4 == 0 && i % 2 == 0 && i > size_t(s.degree) + 1 && i < n;
      if (!(clamped && end) && i > 0) k += repeat ? 0 : gap(rng) + 0.01;
      s.knots.push_back(k);
    }
    ASSERT_EQ(CheckSpline(s), SplineFault::kNone) << trial;
    for (double deviation : {0.5, 0.01}) {
      SplineFault f;
      const auto poly = FlattenSpline(s, deviation, 32767, &f);
      ASSERT_EQ(f, SplineFault::kNone) << trial;
      EXPECT_LE(Farthest(s, poly), deviation) << "trial " << trial << " degree " << s.degree;
      const SplinePoint a = SplineAt(s, s.knots[size_t(s.degree)]), b = SplineAt(s, s.knots[n]);
      EXPECT_EQ(poly.front().x, a.x);
      EXPECT_EQ(poly.back().y, b.y);
    }
  }
}

// With arcs: still within the deviation everywhere, on far fewer vertices
// where the curve bends evenly, and a circle's arcs on the circle.
TEST(SplineCurve, ArcsFollowTheCurveWithinTheDeviation) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> coord(-20, 20);
  for (int trial = 0; trial < 30; ++trial) {
    Spline s;
    s.degree = 2 + trial % 3;
    for (int i = 0; i < 6 + trial % 4; ++i) s.control.push_back({coord(rng), coord(rng)});
    const size_t n = s.control.size(), p = size_t(s.degree);
    for (size_t i = 0; i < n + p + 1; ++i) s.knots.push_back(double(std::clamp(i, p, n)));
    for (double deviation : {0.2, 0.002}) {
      SplineFault f;
      const auto vs = FlattenSplineWithArcs(s, deviation, 32767, &f);
      ASSERT_EQ(f, SplineFault::kNone) << trial;
      const double a = s.knots[p], b = s.knots[n];
      double worst = 0;
      for (int k = 0; k <= 3000; ++k) worst = std::max(worst, ArcPolylineDistance(SplineAt(s, a + (b - a) * k / 3000), vs));
      EXPECT_LE(worst, deviation) << "trial " << trial << " deviation " << deviation;
      EXPECT_LE(vs.size(), FlattenSpline(s, deviation, 32767, &f).size()) << trial;
    }
  }
  SplineFault f;
  const auto circle = FlattenSplineWithArcs(UnitCircle(), 1e-6, 32767, &f);
  ASSERT_EQ(f, SplineFault::kNone);
  EXPECT_LE(circle.size(), 5u) << "one arc follows a long run of pieces";
  double sweep = 0;
  for (size_t i = 0; i + 1 < circle.size(); ++i) {
    EXPECT_NEAR(std::hypot(circle[i].p.x, circle[i].p.y), 1.0, 1e-14);
    sweep += 4 * std::atan(circle[i].bulge);
  }
  EXPECT_NEAR(sweep, 2 * std::numbers::pi, 1e-9) << "counter-clockwise, once round";
}

struct FitCase {
  const char* name;
  std::vector<SplinePoint> fit;
  std::optional<SplinePoint> start, end;
  bool closed;
};

TEST(SplineCurve, FitPointCurvePassesThroughEveryPoint) {
  const FitCase cases[] = {
      {"two points", {{0, 0}, {4, 0}}, std::nullopt, std::nullopt, false},
      {"wave", {{0, 0}, {1, 2}, {2, -1}, {4, 3}, {5, 0}}, std::nullopt, std::nullopt, false},
      {"with tangents", {{0, 0}, {2, 1}, {5, 0}}, SplinePoint{0, 3}, SplinePoint{0, -1}, false},
      {"repeated point", {{0, 0}, {1, 1}, {1, 1}, {3, 0}}, std::nullopt, std::nullopt, false},
      {"closed square", {{0, 0}, {4, 0}, {4, 4}, {0, 4}}, std::nullopt, std::nullopt, true},
      {"closed, end repeats start", {{0, 0}, {3, 1}, {1, 3}, {0, 0}}, std::nullopt, std::nullopt, true},
  };
  for (const FitCase& c : cases) {
    const Spline s = SplineThroughPoints(c.fit, c.start, c.end, c.closed);
    SplineFault f;
    const auto poly = FlattenSpline(s, 1e-3, 32767, &f);
    ASSERT_EQ(f, SplineFault::kNone) << c.name;
    for (const SplinePoint& p : c.fit) EXPECT_LE(PolylineDistance(p, poly), 1e-9) << c.name;
    EXPECT_LE(Farthest(s, poly), 1e-3) << c.name;
    if (c.closed) {
      EXPECT_NEAR(poly.front().x, poly.back().x, 1e-12) << c.name;
      EXPECT_NEAR(poly.front().y, poly.back().y, 1e-12) << c.name;
      // Smooth where it closes: the tangents on both sides of the start agree.
      const double t0 = s.knots.front(), t1 = s.knots.back(), h = (t1 - t0) * 1e-4;
      const SplinePoint a = SplineAt(s, t0 + h), b = SplineAt(s, t1 - h), o = SplineAt(s, t0);
      const double cross = (a.x - o.x) * (o.y - b.y) - (a.y - o.y) * (o.x - b.x);
      EXPECT_LE(std::abs(cross), 1e-2 * std::hypot(a.x - o.x, a.y - o.y) * std::hypot(o.x - b.x, o.y - b.y))
          << c.name;
    }
    if (c.start) {  // leaves the first point along the start tangent
      const SplinePoint q = SplineAt(s, s.knots.front() + 1e-6);
      const double cross = (q.x - c.fit[0].x) * c.start->y - (q.y - c.fit[0].y) * c.start->x;
      EXPECT_LE(std::abs(cross), 1e-9) << c.name;
    }
  }
}

struct Bad {
  const char* name;
  Spline s;
  SplineFault fault;
};

TEST(SplineCurve, UndrawableSplinesAreRefusedNeverEvaluated) {
  const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
  const std::vector<SplinePoint> four = {{0, 0}, {1, 1}, {2, 0}, {3, 1}};
  const std::vector<double> clamped = {0, 0, 0, 0, 1, 1, 1, 1};
  const Bad cases[] = {
      {"fewer control points than degree + 1", {3, {0, 0, 0, 1, 1, 1}, {{0, 0}, {1, 1}, {2, 0}}, {}},
       SplineFault::kFewPoints},
      {"no control point", {3, {}, {}, {}}, SplineFault::kFewPoints},
      {"degree 0", {0, {0, 1, 2, 3}, four, {}}, SplineFault::kKnots},
      {"degree -3", {-3, clamped, four, {}}, SplineFault::kKnots},
      {"a knot short", {3, {0, 0, 0, 0, 1, 1, 1}, four, {}}, SplineFault::kKnots},
      {"knots descending", {3, {0, 0, 0, 0, 1, 1, 1, 0.5}, four, {}}, SplineFault::kKnots},
      {"no knot span", {3, {2, 2, 2, 2, 2, 2, 2, 2}, four, {}}, SplineFault::kKnots},
      {"a weight of 0", {3, clamped, four, {1, 0, 1, 1}}, SplineFault::kWeights},
      {"a negative weight", {3, clamped, four, {1, -1, 1, 1}}, SplineFault::kWeights},
      {"weights short", {3, clamped, four, {1, 1}}, SplineFault::kWeights},
      {"NaN control point", {3, clamped, {{0, 0}, {nan, 1}, {2, 0}, {3, 1}}, {}}, SplineFault::kNotFinite},
      {"infinite knot", {3, {0, 0, 0, 0, inf, inf, inf, inf}, four, {}}, SplineFault::kNotFinite},
      {"NaN weight", {3, clamped, four, {1, nan, 1, 1}}, SplineFault::kNotFinite},
      {"degree 400", {400, clamped, four, {}}, SplineFault::kKnots},
  };
  for (const Bad& c : cases) {
    EXPECT_EQ(CheckSpline(c.s), c.fault) << c.name;
    SplineFault f = SplineFault::kNone;
    EXPECT_TRUE(FlattenSpline(c.s, 0.01, 32767, &f).empty()) << c.name;
    EXPECT_EQ(f, c.fault) << c.name;
  }
  // Too fine: no polyline holds the circle within 0 in 32767 vertices.
  SplineFault f;
  EXPECT_TRUE(FlattenSpline(UnitCircle(), 0, 32767, &f).empty());
  EXPECT_EQ(f, SplineFault::kTooFine);
}

}  // namespace
}  // namespace drawclean
