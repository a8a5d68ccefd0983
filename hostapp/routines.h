// Internals shared by the host's sources: geometry the host computes itself.
#pragma once

#include <vector>

#include "hostapp/objects.h"

namespace hostapp {

// The bounds of an object from its geometry (given bounds for 3, 4, 10 and
// codes without geometry of their own). False, with the empty rectangle,
// when there is nothing to bound.
bool ComputeBounds(const Object& o, HostWorldRect* out);

// The empty rectangle: the same convention as the plug-in's default WorldRect.
HostWorldRect EmptyRect();

// The vertices that stand for an arc after ConvertToPolyline: a circular arc
// of at most kMaxArcVertexSweep degrees becomes start point, arc vertex at the
// tangent point (with the radius) and end point; any other arc is sampled as
// plain corners at most kMaxSampleStepDeg degrees apart.
constexpr double kMaxArcVertexSweep = 140.0;
constexpr double kMaxSampleStepDeg = 10.0;
std::vector<Vertex> ArcToVertices(const Object& arc);

}  // namespace hostapp
