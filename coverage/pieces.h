// What an object draws, as straight pieces, and how far along one piece
// another comes within a distance: shared by the coverage check and the
// doubled-length measure, so both judge curves and reach alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/box.hpp>
#include <boost/geometry/geometries/point.hpp>
#include <boost/geometry/index/rtree.hpp>

#include "hostapp/arc_vertices.h"
#include "hostapp/objects.h"

namespace coverage::detail {

// Arcs are measured as chords that leave the curve by at most this share of
// the point tolerance; the chord's own deviation is added to its reach, so
// a measure stays exact about the true curve.
inline constexpr double kChordShareOfTolerance = 0.05;
// However small the tolerance, an arc becomes no more chords than this.
inline constexpr int kMaxChordsPerArc = 4096;
// Floating-point noise of coordinates this size: differences below it are
// rounding, not geometry.
inline constexpr double kNumericRelative = 1e-9;
// Coordinates past this size leave no room for a distance to be measured
// (squares overflow).
inline constexpr double kMaxMeasurableCoord = 1e100;

// A straight piece of what an object draws: a segment, or a chord of a curve
// that leaves it by at most `slack`.
struct Piece {
  double ax, ay, bx, by;
  double slack;
  size_t object;
  bool chordOfCurve = false;  // continues the previous chord of one curve
};

double Scale(const Piece& p);
bool Measurable(double v);
bool DrawsStretches(int16_t type);

// Appends the pieces an object draws, in drawing order.
class Pieces {
 public:
  Pieces(double tolerance, std::vector<Piece>& out) : tolerance_(tolerance), out_(out) {}
  void Object(const hostapp::Object& o, size_t index);

 private:
  void Segment(double ax, double ay, double bx, double by, double slack, bool chord = false);
  void Arc(double cx, double cy, double rh, double rv, double startDeg, double sweepDeg);
  void Bulged(const hostapp::BulgeVertex& a, const hostapp::BulgeVertex& b);

  double tolerance_;
  std::vector<Piece>& out_;
  size_t object_ = 0;
};

struct Interval {
  double lo, hi;
};

// The parameters of s (0 to 1) within distance r of piece t.
bool CoveredInterval(const Piece& s, const Piece& t, double r, Interval* out);

// Parameters t in [lo, hi] where a + t d lies in the disc of radius r about c.
bool DiscInterval(double ax, double ay, double dx, double dy, double cx, double cy, double r, Interval* out);

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;
using Point = bg::model::point<double, 2, bg::cs::cartesian>;
using Box = bg::model::box<Point>;
using Entry = std::pair<Box, uint32_t>;
using Tree = bgi::rtree<Entry, bgi::quadratic<16>>;

Box BoxOf(const Piece& p, double grow);

}  // namespace coverage::detail
