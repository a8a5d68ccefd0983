#include "dxf/polyline_vertices.h"

namespace drawclean {

bool ReadFlatVertices(DxfEntityRecord& rec, const std::vector<BulgeVertex>& vs, bool closed,
                      hostapp::Object& o) {
  if (vs.empty()) {
    rec.passReason = PassReason::kMalformed;
    return false;
  }
  bool arcs = false;
  for (size_t i = 0; i < vs.size(); ++i)
    if (vs[i].bulge != 0 && (closed || i + 1 < vs.size())) arcs = true;
  o.type = arcs ? kCurvedVertexListType : kVertexListType;
  o.closed = closed;
  o.vertices = VerticesFromBulges(vs, closed);
  if (o.vertices.size() > size_t(kMaxVertices)) {
    rec.passReason = PassReason::kTooManyVertices;
    return false;
  }
  return true;
}

std::vector<OutVertex> VerticesOf(const hostapp::Object& o) {
  std::vector<OutVertex> vs;
  if (o.type == kVertexList3DType) {
    for (const auto& p : o.vertices3d) vs.push_back({p.x, p.y, p.z, 0});
  } else {
    for (const auto& b : BulgesFromVertices(o.vertices, o.closed)) vs.push_back({b.x, b.y, 0, b.bulge});
  }
  return vs;
}

}  // namespace drawclean
