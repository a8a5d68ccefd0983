#include "coverage/coverage_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "coverage/pieces.h"
#include "hostapp/geometry.h"

namespace coverage {
namespace {

using namespace detail;

// The overlap pass and vertex clean-up treat a point this close to a line as
// on it (the plug-in's fixed collinearity limit), so they may move geometry
// this far whatever the point tolerance.
constexpr double kCollinearitySlack = 1e-5;

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
