// How far apart two shapes of one kind lie, for matching within the point
// tolerance: an upper bound on the distance from any point of one to the
// other, measured between corresponding points, so that removing one shape
// loses nothing farther than that from the other. NaN (no match) where the
// shapes do not correspond: a different count, an arc vertex, unusable values.
#pragma once

#include <vector>

#include "base/world_types.h"
#include "geometry/arc_info.h"
#include "geometry/vertex_read.h"

double PointGap(const WorldPt& a, const WorldPt& b);

// Lines a0-a1 and b0-b1, either way round.
double LineGap(const WorldPt& a0, const WorldPt& a1, const WorldPt& b0, const WorldPt& b1);

// Arcs of circles or ellipses: centres, radii, and where their ends lie
// along them. Full turns match from any start.
double ArcGap(const ArcInfo& a, const ArcInfo& b);

// Vertex lists of plain corners, vertex by vertex, either direction; closed
// ones from any start. An open list matches a closed one only one way: all
// of `a` (open) is drawn by `b` (closed), not the closing edge of a closed `a`.
// Gaps past `limit` are not measured to the end: NaN.
double VertexListGap(const std::vector<VertexRead>& a, bool aClosed,
                     const std::vector<VertexRead>& b, bool bClosed, double limit);
