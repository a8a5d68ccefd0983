// Vertex lists of both polyline kinds: bulged vertices into a host object,
// and a host object's vertices as a file writes them.
#pragma once

#include <cstdint>
#include <vector>

#include "dxf/drawing.h"

namespace drawclean {

inline constexpr int16_t kMaxVertices = 32767;  // vertex indices are 16-bit

// A flat polyline: kCurvedVertexListType when a segment is an arc (a bulge
// on a vertex that starts a segment), else kVertexListType. False, with the
// reason, when it has no vertex or too many.
bool ReadFlatVertices(DxfEntityRecord& rec, const std::vector<BulgeVertex>& vs, bool closed,
                      hostapp::Object& o);

// Both polyline kinds write either flat vertex list.
inline bool IsFlatVertexList(const hostapp::Object& o) {
  return o.type == kVertexListType || o.type == kCurvedVertexListType;
}

// Vertices of a flat object as (x, y, bulge), or of a 3D one with its z.
struct OutVertex {
  double x, y, z, bulge;
};
std::vector<OutVertex> VerticesOf(const hostapp::Object& o);

}  // namespace drawclean
