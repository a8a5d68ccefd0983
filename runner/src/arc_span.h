// How far an arc runs. A drawing file gives an arc as a start and an end
// angle (degrees) or parameter (radians), read counter-clockwise and modulo
// one turn; the host keeps a start and a signed sweep in degrees. Both ways
// go through here, so that a full turn stays a full turn.
#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

namespace drawclean {

// Writers round a full turn's end (360 as 360.0000000001, 2 pi as
// 6.28318530718), which leaves a span a few 1e-13 of a turn from a whole
// turn. A span this close, as a fraction of a turn, to a whole number of
// turns is a full turn: the closeness ezdxf allows when it reads the same
// files (1e-9 relative), far above any rounding of a written angle and far
// below any arc a drawing means (3.6e-7 degrees).
inline constexpr double kFullTurnRelative = 1e-9;
inline constexpr double kTurnDeg = 360.0;

// The counter-clockwise span from start to end in (0, turn]: an end a whole
// number of turns from the start, within kFullTurnRelative, gives exactly
// `turn`. NaN in gives NaN out.
inline double CcwSpan(double start, double end, double turn) {
  double d = end - start;
  // Finite angles far apart can overflow the difference; each reduced first
  // gives the same span.
  if (!std::isfinite(d)) d = std::fmod(end, turn) - std::fmod(start, turn);
  d = std::fmod(d, turn);
  if (d < 0) d += turn;
  const double slack = kFullTurnRelative * turn;
  return d <= slack || d >= turn - slack ? turn : d;
}

// A host arc as a file holds one: counter-clockwise from `startDeg` through
// `sweepDeg` in [0, 360]; a sweep within kFullTurnRelative of a turn, or past
// it (which draws nothing more), is exactly 360, and one as close to nothing
// is 0.
struct CcwArc {
  double startDeg, sweepDeg;
  bool FullTurn() const { return sweepDeg == kTurnDeg; }
  bool NoTurn() const { return sweepDeg == 0; }
};

inline CcwArc CcwArcOf(double startDeg, double sweepDeg) {
  CcwArc a{startDeg, sweepDeg};
  if (a.sweepDeg < 0) a.startDeg += a.sweepDeg, a.sweepDeg = -a.sweepDeg;
  const double slack = kFullTurnRelative * kTurnDeg;
  if (a.sweepDeg >= kTurnDeg - slack) a = {startDeg, kTurnDeg};
  else if (a.sweepDeg <= slack) a = {startDeg, 0.0};
  return a;
}

// An angle in [0, 360).
inline double NormalizedDeg(double a) {
  a = std::fmod(a, kTurnDeg);
  if (a < 0) a += kTurnDeg;
  return a;
}

// Points along an arc of an ellipse with radii rx, ry, rotated by rotDeg
// about its centre, from startDeg through sweepDeg (at most a turn either
// way), for a picture: `stepsPerTurn` pieces to a turn, at least two.
inline void AppendArcPoints(double cx, double cy, double rx, double ry, double rotDeg, double startDeg,
                            double sweepDeg, int stepsPerTurn, std::vector<std::pair<double, double>>& out) {
  constexpr double kDeg = std::numbers::pi / 180;
  sweepDeg = std::clamp(sweepDeg, -kTurnDeg, kTurnDeg);
  const int n = std::max(2, int(std::fabs(sweepDeg) / kTurnDeg * stepsPerTurn) + 1);
  const double c = std::cos(rotDeg * kDeg), s = std::sin(rotDeg * kDeg);
  for (int i = 0; i <= n; ++i) {
    const double a = (startDeg + sweepDeg * i / n) * kDeg;
    const double x = rx * std::cos(a), y = ry * std::sin(a);
    out.emplace_back(cx + x * c - y * s, cy + x * s + y * c);
  }
}

}  // namespace drawclean
