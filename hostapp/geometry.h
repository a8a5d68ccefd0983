// Geometry the host computes itself: object bounds and the vertices of a
// converted arc.
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

// The vertices that stand for an arc after ConvertToPolyline. A circular arc
// (a full circle too) becomes its start point, then per piece of at most
// kMaxArcPieceDeg degrees an arc vertex at the tangent point (with the radius)
// and the piece's end point. An elliptical arc, which no arc vertex can hold,
// becomes chords that leave it by at most kEllipseChordRelTol times its size.
constexpr double kMaxArcPieceDeg = 90.0;
constexpr double kEllipseChordRelTol = 1e-6;
std::vector<Vertex> ArcToVertices(const Object& arc);

}  // namespace hostapp
