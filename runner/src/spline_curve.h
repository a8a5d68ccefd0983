// B-spline curves, rational or not and of any degree, evaluated by de Boor's
// algorithm; the cubic through a list of fit points; and either curve as a
// polyline within a given distance of it.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace drawclean {

struct SplinePoint {
  double x = 0, y = 0;
};

struct Spline {
  int degree = 3;
  std::vector<double> knots;         // control points + degree + 1 of them, ascending
  std::vector<SplinePoint> control;
  std::vector<double> weights;       // empty (all 1), or one per control point
};

enum class SplineFault { kNone, kFewPoints, kKnots, kWeights, kNotFinite, kTooFine };

// What makes the curve undrawable, if anything: fewer control points than
// degree + 1, knots not ascending or not as many as needed, no span between
// the first and last knot the curve runs over, weights not above 0, a value
// that is no finite number.
SplineFault CheckSpline(const Spline& s);

// The curve's point at parameter t, from knot[degree] to knot[control count].
SplinePoint SplineAt(const Spline& s, double t);

// A C2 cubic through every fit point, parameterised by the distance between
// them, as a spline of Bézier pieces. The ends follow the given tangents (any
// length: only their direction counts), else bend freely; a closed one runs
// back to its first point smoothly. Coincident neighbours count once.
Spline SplineThroughPoints(std::vector<SplinePoint> fit, std::optional<SplinePoint> startTangent,
                           std::optional<SplinePoint> endTangent, bool closed);

// The curve as a polyline within `deviation` of it: a vertex at every knot,
// each span between knots cut in four, and each piece halved until seven
// points evenly inside it lie within 90 % of the deviation from its chord.
// kTooFine, and nothing, when that needs more than `maxPoints`.
// `params` receives each point's parameter.
std::vector<SplinePoint> FlattenSpline(const Spline& s, double deviation, size_t maxPoints, SplineFault* fault,
                                       std::vector<double>* params = nullptr);

// A polyline vertex, and the bulge of its segment to the next: 0 straight,
// else the tangent of a quarter of the arc's sweep (counter-clockwise
// positive), as DXF has it.
struct SplineVertex {
  SplinePoint p;
  double bulge = 0;
};

// The polyline of FlattenSpline with arcs: from each vertex, the longest run
// of three or more straight pieces that one circular arc (of at most half a
// turn) follows within the same 90 % of the deviation, checked at every
// vertex of the run and three points inside each piece, becomes that arc.
// The run is found by doubling and then halving its length, so a long one
// costs a few checks, not one per piece.
std::vector<SplineVertex> FlattenSplineWithArcs(const Spline& s, double deviation, size_t maxPoints,
                                                SplineFault* fault);

}  // namespace drawclean
