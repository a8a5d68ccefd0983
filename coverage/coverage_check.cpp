#include "coverage/coverage_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <utility>

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/box.hpp>
#include <boost/geometry/geometries/point.hpp>
#include <boost/geometry/index/rtree.hpp>

#include "hostapp/arc_vertices.h"
#include "hostapp/geometry.h"

namespace coverage {
namespace {

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;

constexpr double kDegToRad = std::numbers::pi / 180.0;
// Arcs are measured as chords that leave the curve by at most this share of
// the point tolerance; the chord's own deviation is added to its reach, so
// the check stays exact about the true curve.
constexpr double kChordShareOfTolerance = 0.05;
// However small the tolerance, an arc becomes no more chords than this.
constexpr int kMaxChordsPerArc = 4096;
// Floating-point noise of coordinates this size: differences below it are
// rounding, not geometry.
constexpr double kNumericRelative = 1e-9;
// The overlap pass and vertex clean-up treat a point this close to a line as
// on it (the plug-in's fixed collinearity limit), so they may move geometry
// this far whatever the point tolerance.
constexpr double kCollinearitySlack = 1e-5;
// Coordinates past this size leave no room for a distance to be measured
// (squares overflow); such objects are exempt, and counted.
constexpr double kMaxMeasurableCoord = 1e100;

// A straight piece of what an object draws: a segment, or a chord of a curve
// that leaves it by at most `slack`.
struct Piece {
  double ax, ay, bx, by;
  double slack;
  size_t object;
};

double Scale(const Piece& p) {
  return std::max({1.0, std::fabs(p.ax), std::fabs(p.ay), std::fabs(p.bx), std::fabs(p.by)});
}

bool Measurable(double v) { return std::isfinite(v) && std::fabs(v) <= kMaxMeasurableCoord; }

class Pieces {
 public:
  Pieces(double tolerance, std::vector<Piece>& out) : tolerance_(tolerance), out_(out) {}

  void Segment(double ax, double ay, double bx, double by, double slack) {
    out_.push_back(Piece{ax, ay, bx, by, slack, object_});
  }

  // Points (cx + rh cos t, cy + rv sin t) for t from start through sweep
  // (degrees), as chords. An ellipse is a circle stretched along the axes,
  // so its chords leave it by at most the larger radius times the circle's.
  void Arc(double cx, double cy, double rh, double rv, double startDeg, double sweepDeg) {
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
      Segment(px, py, x, y, slack);
      px = x, py = y;
    }
  }

  // A bulged segment from a to b: the arc of signed sweep 4 atan(bulge).
  void Bulged(const hostapp::BulgeVertex& a, const hostapp::BulgeVertex& b) {
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

  void Object(const hostapp::Object& o, size_t index) {
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

 private:
  double tolerance_;
  std::vector<Piece>& out_;
  size_t object_ = 0;
};

bool DrawsStretches(int16_t type) {
  return type == kLineType || type == kArcType || type == kVertexListType ||
         type == kCurvedVertexListType || type == kVertexList3DType || type == kFourPoints3DType;
}

// Pieces of every object that draws something, and whether all of each
// object's values can be measured. An object with values past measuring is
// not checked itself, but what it draws within reach of measuring still
// counts as drawn: a line joined to a piece that ends at NaN, or merged with
// one that runs out to 1e300, is still there. A piece from a measurable end to
// a finite end past measuring goes to `outgoing`, turned to start at the
// measurable end, to be cut where the drawing ends.
std::vector<Piece> Decompose(const std::vector<hostapp::Object>& objects, double tolerance,
                             std::vector<bool>* measurable, std::vector<Piece>* outgoing) {
  std::vector<Piece> pieces;
  Pieces maker(tolerance, pieces);
  measurable->assign(objects.size(), true);
  for (size_t i = 0; i < objects.size(); ++i) {
    if (!DrawsStretches(objects[i].type)) continue;
    const size_t first = pieces.size();
    maker.Object(objects[i], i);
    size_t kept = first;
    for (size_t k = first; k < pieces.size(); ++k) {
      Piece p = pieces[k];
      const bool aIn = Measurable(p.ax) && Measurable(p.ay), bIn = Measurable(p.bx) && Measurable(p.by);
      if (aIn && bIn && std::isfinite(p.slack)) {
        pieces[kept++] = p;
        continue;
      }
      (*measurable)[i] = false;
      if (!aIn) {
        std::swap(p.ax, p.bx);
        std::swap(p.ay, p.by);
      }
      if ((aIn || bIn) && std::isfinite(p.slack) && std::isfinite(p.bx - p.ax) && std::isfinite(p.by - p.ay))
        outgoing->push_back(p);
    }
    pieces.resize(kept);
  }
  return pieces;
}

// Where measurable pieces and the measurable ends of outgoing ones lie.
struct Extent {
  double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  void Add(double x, double y) {
    minX = std::min(minX, x), maxX = std::max(maxX, x);
    minY = std::min(minY, y), maxY = std::max(maxY, y);
  }
};

// Outgoing pieces cut where they leave `box`, which holds their start: past
// it there is nothing they could cover. The cut is found from the measurable
// start, which keeps that end's precision.
void AddCut(const std::vector<Piece>& outgoing, const Extent& box, std::vector<Piece>* pieces) {
  for (Piece p : outgoing) {
    const double dx = p.bx - p.ax, dy = p.by - p.ay;
    double t = 1.0;
    if (p.bx > box.maxX) t = std::min(t, (box.maxX - p.ax) / dx);
    if (p.bx < box.minX) t = std::min(t, (box.minX - p.ax) / dx);
    if (p.by > box.maxY) t = std::min(t, (box.maxY - p.ay) / dy);
    if (p.by < box.minY) t = std::min(t, (box.minY - p.ay) / dy);
    p.bx = p.ax + t * dx;
    p.by = p.ay + t * dy;
    pieces->push_back(p);
  }
}

using Point = bg::model::point<double, 2, bg::cs::cartesian>;
using Box = bg::model::box<Point>;
using Entry = std::pair<Box, uint32_t>;
using Tree = bgi::rtree<Entry, bgi::quadratic<16>>;

Box BoxOf(const Piece& p, double grow) {
  return Box(Point(std::min(p.ax, p.bx) - grow, std::min(p.ay, p.by) - grow),
             Point(std::max(p.ax, p.bx) + grow, std::max(p.ay, p.by) + grow));
}

struct Interval {
  double lo, hi;
};

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

struct Direction {
  const std::vector<Piece>* from;
  const std::vector<bool>* checked;  // by object of `from`: false skips it
  const std::vector<Piece>* to;
  double reach;                      // the tolerance and the slack of the passes that ran
};

// Every stretch of `from` farther than the reach from all of `to`, with
// consecutive stretches of one object (chords of one arc) merged.
std::vector<Stretch> Uncovered(const Direction& d) {
  // Each piece is boxed with its own slack and rounding margin: widening
  // every query by the largest slack instead (one coarse chord of a huge arc)
  // made each query return the whole drawing.
  std::vector<Entry> entries;
  entries.reserve(d.to->size());
  for (size_t i = 0; i < d.to->size(); ++i) {
    const Piece& t = (*d.to)[i];
    entries.emplace_back(BoxOf(t, t.slack + kNumericRelative * Scale(t)), uint32_t(i));
  }
  const Tree tree(entries.begin(), entries.end());

  std::vector<Stretch> found;
  std::vector<Interval> covered;
  std::vector<Entry> near;
  for (const Piece& s : *d.from) {
    if (!(*d.checked)[s.object]) continue;
    const double margin = kNumericRelative * Scale(s);
    const double length = std::hypot(s.bx - s.ax, s.by - s.ay);
    near.clear();
    tree.query(bgi::intersects(BoxOf(s, d.reach + s.slack + margin)), std::back_inserter(near));
    covered.clear();
    for (const Entry& e : near) {
      const Piece& t = (*d.to)[e.second];
      const double r = d.reach + s.slack + t.slack + margin + kNumericRelative * Scale(t);
      Interval i{};
      if (CoveredInterval(s, t, r, &i)) covered.push_back(i);
    }
    std::sort(covered.begin(), covered.end(), [](const Interval& a, const Interval& b) { return a.lo < b.lo; });
    // Gaps between the covered intervals, in parameters of s.
    const double minGap = length > 0 ? margin / length : INFINITY;
    auto gap = [&](double lo, double hi) {
      if (!(hi - lo > minGap)) return;
      Stretch st{s.object, s.ax + (s.bx - s.ax) * lo, s.ay + (s.by - s.ay) * lo,
                 s.ax + (s.bx - s.ax) * hi, s.ay + (s.by - s.ay) * hi, (hi - lo) * length};
      if (!found.empty()) {
        Stretch& last = found.back();
        if (last.object == st.object && last.toX == st.fromX && last.toY == st.fromY) {
          last.toX = st.toX, last.toY = st.toY, last.length += st.length;
          return;
        }
      }
      found.push_back(st);
    };
    if (length == 0) {
      // A point-sized piece (a one-vertex list): covered or not as a whole.
      if (covered.empty()) found.push_back(Stretch{s.object, s.ax, s.ay, s.bx, s.by, 0.0});
      continue;
    }
    double reached = 0;
    for (const Interval& i : covered) {
      if (i.lo > reached) gap(reached, i.lo);
      reached = std::max(reached, i.hi);
    }
    if (reached < 1) gap(reached, 1);
  }
  return found;
}

bool Degenerate(const hostapp::Object& o, double sizeTolerance) {
  HostWorldRect r;
  hostapp::ComputeBounds(o, &r);
  const double limit = sizeTolerance + kNumericRelative * std::max(1.0, std::fabs(sizeTolerance));
  return r.right - r.left <= limit && r.top - r.bottom <= limit;
}

}  // namespace

Report CheckCoverage(const std::vector<hostapp::Object>& before, const std::vector<hostapp::Object>& after,
                     const Rules& rules) {
  Report report;
  const double tolerance = std::isfinite(rules.pointTolerance) ? std::fabs(rules.pointTolerance) : 0.0;
  std::vector<bool> beforeOk, afterOk;
  std::vector<Piece> wasOutgoing, nowOutgoing;
  std::vector<Piece> was = Decompose(before, tolerance, &beforeOk, &wasOutgoing);
  std::vector<Piece> now = Decompose(after, tolerance, &afterOk, &nowOutgoing);

  // Before: what draws something and no pass is meant to remove.
  std::vector<bool> checked(before.size(), false);
  for (size_t i = 0; i < before.size(); ++i) {
    if (!DrawsStretches(before[i].type)) continue;
    if (!beforeOk[i] || (rules.passes[1] && Degenerate(before[i], rules.sizeTolerance))) {
      ++report.objectsExempt;
      continue;
    }
    checked[i] = true;
    ++report.objectsChecked;
  }
  const bool movesToLines = rules.passes[4] || rules.passes[5] || rules.passes[6] || rules.passes[8];
  const double reach = tolerance + (movesToLines ? kCollinearitySlack : 0.0);

  Extent box;
  for (const std::vector<Piece>* side : {&was, &now})
    for (const Piece& p : *side) box.Add(p.ax, p.ay), box.Add(p.bx, p.by);
  for (const std::vector<Piece>* side : {&wasOutgoing, &nowOutgoing})
    for (const Piece& p : *side) box.Add(p.ax, p.ay);
  const double grow = 2 * reach + kNumericRelative * std::max({1.0, std::fabs(box.minX), std::fabs(box.maxX),
                                                                std::fabs(box.minY), std::fabs(box.maxY)});
  box.minX -= grow, box.minY -= grow, box.maxX += grow, box.maxY += grow;
  AddCut(wasOutgoing, box, &was);
  AddCut(nowOutgoing, box, &now);

  report.missing = Uncovered(Direction{&was, &checked, &now, reach});
  report.added = Uncovered(Direction{&now, &afterOk, &was, reach});
  for (const Stretch& s : report.missing) report.missingLength += s.length;
  for (const Stretch& s : report.added) report.addedLength += s.length;
  return report;
}

std::string Describe(const Stretch& s) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "%.6g long from (%.10g, %.10g) to (%.10g, %.10g)", s.length, s.fromX, s.fromY,
                s.toX, s.toY);
  return buf;
}

}  // namespace coverage
