// Arc vertices and bulges. An arc vertex (type 3) is the point where the
// tangents at an arc's two ends meet, with the arc's radius: the outline runs
// straight towards it, turns along the arc and leaves straight. Drawing files
// write the same outline as corners with bulges (the tangent of a quarter of
// each segment's signed sweep). These are the one conversion both ways, used
// by the host, the runner and everything that draws or measures outlines.
#pragma once

#include <optional>
#include <vector>

#include "hostapp/objects.h"

namespace hostapp {

struct BulgeVertex {
  double x = 0, y = 0, bulge = 0;
};

// The circle a bulged segment from a to b runs along: its centre, radius,
// the angle of a and the signed sweep to b (radians, counter-clockwise
// positive). None for a straight segment or one whose ends coincide.
struct BulgeArc {
  double cx, cy, r, startRad, sweepRad;
};
std::optional<BulgeArc> ArcOfBulge(const BulgeVertex& a, const BulgeVertex& b);

// Each bulged segment becomes arc vertices of at most kMaxArcPieceDeg, so the
// tangent points stay near the drawing.
std::vector<Vertex> VerticesFromBulges(const std::vector<BulgeVertex>& in, bool closed);
std::vector<BulgeVertex> BulgesFromVertices(const std::vector<Vertex>& in, bool closed);

}  // namespace hostapp
