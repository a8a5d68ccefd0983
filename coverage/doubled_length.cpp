#include "coverage/doubled_length.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "coverage/pieces.h"

namespace coverage {
namespace {

using namespace detail;

// A vertex where the path turns by less than this runs on: it is no corner
// another path could meet at.
const double kSmoothTurnCos = std::cos(30.0 * 3.14159265358979323846 / 180.0);
// Near a contact the two paths must run on together this many tolerances for
// their closeness to count as drawn twice.
constexpr double kRunTogether = 2.0;
// Where a path turns by a little less than a right angle, the tolerance
// around the corner reaches a little farther along one side than the other
// (the tolerance times 1/sin of the angle, less one): a sliver inside a
// piece shorter than this share of the tolerance is that, not a stretch
// drawn twice.
constexpr double kCornerSliver = 0.1;
// Walking one object's path back from a piece ends here, as if the path had
// left: only a scribble keeps this many vertices within the tolerance.
constexpr size_t kMaxChainWalk = 1024;
// Candidate pairs per piece, on average, before the measure stops: a
// tolerance as large as the drawing makes every piece near every other.
constexpr size_t kPairsPerPiece = 256;
constexpr size_t kMinPairBudget = size_t(1) << 20;
// Pieces, beyond a few per object, before the measure stops: a tolerance far
// below the radii makes thousands of chords of every arc, and the measure
// runs after every run, so it must not take more memory than the drawing.
constexpr size_t kPiecesPerObject = 16;
constexpr size_t kMinPieceBudget = size_t(1) << 22;

// One object's run of pieces in the drawing's list.
struct Path {
  size_t first, end;
  bool closed;
};

struct Drawn {
  std::vector<Piece> pieces;
  std::vector<uint32_t> path;     // by piece
  std::vector<Path> paths;
  std::vector<char> startSmooth;  // by piece: the path runs on smoothly into its start
  std::vector<double> length;     // by piece
};

double Length(const Piece& p) { return std::hypot(p.bx - p.ax, p.by - p.ay); }

bool PieceMeasurable(const Piece& p) {
  return Measurable(p.ax) && Measurable(p.ay) && Measurable(p.bx) && Measurable(p.by) && std::isfinite(p.slack);
}

// The piece before k along its path, if any (past zero-length pieces, which
// have no direction).
const Piece* Before(const Drawn& d, size_t k) {
  const Path& p = d.paths[d.path[k]];
  size_t i = k;
  for (size_t steps = 1; steps < p.end - p.first; ++steps) {
    if (i == p.first) {
      if (!p.closed) return nullptr;
      i = p.end;
    }
    --i;
    if (d.length[i] > 0) return &d.pieces[i];
  }
  return nullptr;
}

Drawn Decompose(const std::vector<const hostapp::Object*>& objects, double tolerance, Doubled* out) {
  Drawn d;
  Pieces maker(tolerance, d.pieces);
  const size_t budget = std::max(kMinPieceBudget, kPiecesPerObject * objects.size());
  // Room for a few pieces an object at once: growing by copying was a tenth
  // of the measure on a large plan. Pages never written cost nothing.
  d.pieces.reserve(std::min(budget, 8 * objects.size()));
  for (size_t i = 0; i < objects.size(); ++i) {
    if (!objects[i] || !DrawsStretches(objects[i]->type)) continue;
    if (d.pieces.size() > budget) {
      out->complete = false;
      break;
    }
    const size_t first = d.pieces.size();
    maker.Object(*objects[i], i);
    bool ok = d.pieces.size() > first && d.pieces.size() < UINT32_MAX;
    for (size_t k = first; ok && k < d.pieces.size(); ++k) ok = PieceMeasurable(d.pieces[k]);
    if (!ok) {
      d.pieces.resize(first);
      ++out->objectsSkipped;
      continue;
    }
    ++out->objectsMeasured;
    const Piece& a = d.pieces[first];
    const Piece& b = d.pieces.back();
    const double near = kNumericRelative * std::max(Scale(a), Scale(b));
    // A full turn or a face closes on itself; a vertex list only when it says so (one that ends where it
    // began meets itself at a corner, which the contacts see).
    const bool ring = objects[i]->type == kArcType || objects[i]->type == kFourPoints3DType;
    const bool closed = objects[i]->closed || (ring && d.pieces.size() - first > 1 && std::fabs(a.ax - b.bx) <= near &&
                                               std::fabs(a.ay - b.by) <= near);
    d.paths.push_back(Path{first, d.pieces.size(), closed});
    d.path.reserve(d.pieces.capacity());
    d.length.reserve(d.pieces.capacity());
    for (size_t k = first; k < d.pieces.size(); ++k) {
      d.path.push_back(uint32_t(d.paths.size() - 1));
      d.length.push_back(Length(d.pieces[k]));
    }
  }
  d.startSmooth.assign(d.pieces.size(), 0);
  for (size_t k = 0; k < d.pieces.size(); ++k) {
    const Piece& s = d.pieces[k];
    const Piece* prev = Before(d, k);
    if (!prev || d.length[k] == 0) continue;
    if (s.chordOfCurve) {
      d.startSmooth[k] = 1;
      continue;
    }
    const double ux = prev->bx - prev->ax, uy = prev->by - prev->ay, vx = s.bx - s.ax, vy = s.by - s.ay;
    d.startSmooth[k] = ux * vx + uy * vy >= kSmoothTurnCos * std::hypot(ux, uy) * d.length[k];
  }
  return d;
}

// Whether the path runs on smoothly out of piece k's end.
bool EndSmooth(const Drawn& d, size_t k) {
  const Path& p = d.paths[d.path[k]];
  for (size_t i = k + 1, steps = 1; steps < p.end - p.first; ++i, ++steps) {
    if (i == p.end) {
      if (!p.closed) return false;
      i = p.first;
    }
    if (d.length[i] > 0) return d.startSmooth[i];
  }
  return false;
}

// Where along s (0 to 1) the point comes nearest, and how near.
double Nearest(const Piece& s, double len, double x, double y, double* dist) {
  double u = 0;
  if (len > 0) u = std::clamp(((x - s.ax) * (s.bx - s.ax) + (y - s.ay) * (s.by - s.ay)) / (len * len), 0.0, 1.0);
  *dist = std::hypot(s.ax + u * (s.bx - s.ax) - x, s.ay + u * (s.by - s.ay) - y);
  return u;
}

// Where along s (0 to 1) it crosses t inside both, if it does.
bool Crossing(const Piece& s, const Piece& t, double* u) {
  const double rx = s.bx - s.ax, ry = s.by - s.ay, qx = t.bx - t.ax, qy = t.by - t.ay;
  const double denom = rx * qy - ry * qx;
  if (!(std::fabs(denom) > 0)) return false;
  const double ex = t.ax - s.ax, ey = t.ay - s.ay;
  const double a = (ex * qy - ey * qx) / denom, b = (ex * ry - ey * rx) / denom;
  if (!(a > 0 && a < 1 && b >= 0 && b <= 1)) return false;
  *u = a;
  return true;
}

// The part of s (parameters) every vertex of one object's path between t and
// s lies within r of: there the path reaches s from t without leaving the
// tolerance, so closeness to t is the path running on, not drawn twice.
// `from` and `to` are the first and last piece whose start is such a vertex,
// walking forward from `from` (cyclic when the path is closed).
bool ChainReach(const Drawn& d, const Path& p, const Piece& s, size_t from, size_t to, double r, Interval* out) {
  Interval reach{0, 1};
  const double dx = s.bx - s.ax, dy = s.by - s.ay;
  size_t m = from;
  for (size_t steps = 0;; ++steps) {
    if (steps == kMaxChainWalk) return false;
    const Piece& v = d.pieces[m];
    Interval in{};
    if (!DiscInterval(s.ax, s.ay, dx, dy, v.ax, v.ay, r, &in)) return false;
    reach.lo = std::max(reach.lo, in.lo), reach.hi = std::min(reach.hi, in.hi);
    if (!(reach.lo <= reach.hi)) return false;
    if (m == to) break;
    m = m + 1 == p.end ? p.first : m + 1;
  }
  *out = reach;
  return true;
}

// Appends [lo, hi] less the `cuts` (each a sub-interval).
void AppendLess(Interval i, std::vector<Interval>& cuts, std::vector<Interval>* out) {
  std::sort(cuts.begin(), cuts.end(), [](const Interval& a, const Interval& b) { return a.lo < b.lo; });
  for (const Interval& c : cuts) {
    if (c.hi <= i.lo || c.lo >= i.hi) continue;
    if (c.lo > i.lo) out->push_back(Interval{i.lo, c.lo});
    i.lo = std::max(i.lo, c.hi);
    if (i.lo >= i.hi) return;
  }
  if (i.lo < i.hi) out->push_back(i);
}

class Measure {
 public:
  Measure(const Drawn& d, double tolerance, Doubled* out) : d_(d), tol_(tolerance), out_(out) {
    std::vector<Entry> entries;
    entries.reserve(d.pieces.size());
    for (size_t i = 0; i < d.pieces.size(); ++i) {
      const Piece& t = d.pieces[i];
      entries.emplace_back(BoxOf(t, t.slack + kNumericRelative * Scale(t)), uint32_t(i));
    }
    tree_ = Tree(entries.begin(), entries.end());
    budget_ = std::max(kMinPairBudget, kPairsPerPiece * d.pieces.size());
  }

  void Run() {
    for (size_t k = 0; k < d_.pieces.size() && out_->complete; ++k)
      if (d_.length[k] > 0) Visit(k);
  }

 private:
  void Visit(size_t k) {
    const detail::Piece& s = d_.pieces[k];
    const double len = d_.length[k], margin = kNumericRelative * Scale(s);
    near_.clear();
    tree_.query(bgi::intersects(BoxOf(s, tol_ + s.slack + margin)), std::back_inserter(near_));
    if (near_.size() > budget_) {
      out_->complete = false;
      return;
    }
    budget_ -= near_.size();
    covered_.clear();
    contacts_.clear();
    const bool sStartSmooth = d_.startSmooth[k], sEndSmooth = EndSmooth(d_, k);
    for (const Entry& e : near_) {
      const size_t j = e.second;
      if (j >= k) continue;  // only what was drawn earlier
      const detail::Piece& t = d_.pieces[j];
      const double r = tol_ + s.slack + t.slack + margin + kNumericRelative * Scale(t);
      Interval i{};
      if (!CoveredInterval(s, t, r, &i)) continue;
      cuts_.clear();
      if (d_.path[j] == d_.path[k]) SamePathCuts(k, j, r);
      AppendLess(i, cuts_, &covered_);
      Contacts(s, len, t, r, sStartSmooth, sEndSmooth, !d_.startSmooth[j] || d_.length[j] == 0,
               !EndSmooth(d_, j) || d_.length[j] == 0);
    }
    if (covered_.empty()) return;
    std::sort(covered_.begin(), covered_.end(), [](const Interval& a, const Interval& b) { return a.lo < b.lo; });
    // Each run of overlapping intervals, less what lies beside a contact
    // where the paths part.
    const double end = 1.0, lenTol = len > 0 ? tol_ / len : 0;
    const double pm = len > 0 ? margin / len : 0;
    for (size_t a = 0; a < covered_.size();) {
      Interval run = covered_[a];
      size_t b = a + 1;
      while (b < covered_.size() && covered_[b].lo <= run.hi) run.hi = std::max(run.hi, covered_[b++].hi);
      a = b;
      Interval kept = run;
      for (double x : contacts_) {
        if (x < run.lo - pm || x > run.hi + pm) continue;
        const bool onRight = run.hi - x >= kRunTogether * lenTol ||
                             (run.hi >= end - pm && (sEndSmooth || run.hi - x > lenTol));
        const bool onLeft = x - run.lo >= kRunTogether * lenTol ||
                            (run.lo <= pm && (sStartSmooth || x - run.lo > lenTol));
        if (!onRight) kept.hi = std::min(kept.hi, x);
        if (!onLeft) kept.lo = std::max(kept.lo, x);
      }
      const bool inside = kept.lo > pm && kept.hi < end - pm;
      if (kept.hi - kept.lo > pm && !(inside && kept.hi - kept.lo < kCornerSliver * lenTol)) Add(s, len, kept);
    }
  }

  // Within one object: the parts of s its own path reaches from t without
  // leaving the tolerance, back along the path and, when closed, forward.
  void SamePathCuts(size_t k, size_t j, double r) {
    const Path& p = d_.paths[d_.path[k]];
    const detail::Piece& s = d_.pieces[k];
    Interval c{};
    if (ChainReach(d_, p, s, j + 1, k, r, &c)) cuts_.push_back(c);
    if (p.closed) {
      const size_t next = k + 1 == p.end ? p.first : k + 1;
      if (ChainReach(d_, p, s, next, j, r, &c)) cuts_.push_back(c);
    }
  }

  // Places along s where t touches it: ends (of s on t, of t on s) that are
  // no smooth vertex of their path, and crossings.
  void Contacts(const detail::Piece& s, double len, const detail::Piece& t, double r, bool sStartSmooth,
                bool sEndSmooth, bool tStartFree, bool tEndFree) {
    double dist = 0;
    if (!sStartSmooth) {
      Nearest(t, Length(t), s.ax, s.ay, &dist);
      if (dist <= r) contacts_.push_back(0.0);
    }
    if (!sEndSmooth) {
      Nearest(t, Length(t), s.bx, s.by, &dist);
      if (dist <= r) contacts_.push_back(1.0);
    }
    if (tStartFree) {
      const double u = Nearest(s, len, t.ax, t.ay, &dist);
      if (dist <= r) contacts_.push_back(u);
    }
    if (tEndFree) {
      const double u = Nearest(s, len, t.bx, t.by, &dist);
      if (dist <= r) contacts_.push_back(u);
    }
    double u = 0;
    if (Crossing(s, t, &u)) contacts_.push_back(u);
  }

  void Add(const detail::Piece& s, double len, Interval i) {
    auto at = [&](double u, double a, double b) { return u <= 0 ? a : u >= 1 ? b : a + (b - a) * u; };
    Stretch st{s.object, at(i.lo, s.ax, s.bx), at(i.lo, s.ay, s.by), at(i.hi, s.ax, s.bx), at(i.hi, s.ay, s.by),
               (std::min(i.hi, 1.0) - std::max(i.lo, 0.0)) * len};
    out_->length += st.length;
    out_->marks.push_back(st);
    if (!out_->stretches.empty()) {
      Stretch& last = out_->stretches.back();
      if (last.object == st.object && last.toX == st.fromX && last.toY == st.fromY) {
        last.toX = st.toX, last.toY = st.toY, last.length += st.length;
        return;
      }
    }
    out_->stretches.push_back(st);
  }

  const Drawn& d_;
  double tol_;
  Doubled* out_;
  Tree tree_;
  size_t budget_ = 0;
  std::vector<Entry> near_;
  std::vector<Interval> covered_, cuts_;
  std::vector<double> contacts_;
};

}  // namespace

Doubled MeasureDoubled(const std::vector<const hostapp::Object*>& objects, double pointTolerance) {
  Doubled out;
  const double tol = std::isfinite(pointTolerance) && std::fabs(pointTolerance) <= kMaxMeasurableCoord
                         ? std::fabs(pointTolerance)
                         : 0.0;
  const Drawn d = Decompose(objects, tol, &out);
  Measure(d, tol, &out).Run();
  return out;
}

Doubled MeasureDoubled(const std::vector<hostapp::Object>& objects, double pointTolerance) {
  std::vector<const hostapp::Object*> list;
  list.reserve(objects.size());
  for (const hostapp::Object& o : objects) list.push_back(&o);
  return MeasureDoubled(list, pointTolerance);
}

std::string DescribeDoubled(const Doubled& d) {
  char buf[120];
  std::snprintf(buf, sizeof buf, "%s%.6g in %zu stretch%s", d.complete ? "" : "at least ", d.length,
                d.stretches.size(), d.stretches.size() == 1 ? "" : "es");
  return buf;
}

}  // namespace coverage
