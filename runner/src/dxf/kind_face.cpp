// 3DFACE: host kFourPoints3DType, four corners; the invisible-edge flags
// (70) in long attribute C.
#include "dxf/entity_kind.h"

namespace drawclean {
namespace {

using hostapp::Object;

constexpr int kCorners = 4;

bool Read(DxfEntityRecord&, const DxfRecord& r, Object& o) {
  o.type = kFourPoints3DType;
  for (int i = 0; i < kCorners; ++i) o.points3d[i] = HostWorldPt3D{r.Num(10 + i), r.Num(20 + i), r.Num(30 + i)};
  o.attr.longC = int32_t(r.Int(70));
  return true;
}

bool Writes(const Object& o, const DxfEntityRecord*, const DxfVersion&) { return o.type == kFourPoints3DType; }

void Geometry(const Object& o, TagEdits& g) {
  for (int i = 0; i < kCorners; ++i)
    g.Num(10 + i, o.points3d[i].x), g.Num(20 + i, o.points3d[i].y), g.Num(30 + i, o.points3d[i].z);
  g.Int(70, o.attr.longC);
}

std::string Changed(EntityWriter& w, const DxfEntityRecord& rec, const Object& o, TagEdits edits) {
  Geometry(o, edits);
  return Rewrite(w.d.file, rec.span.first, rec.span.last, edits);
}

std::string Fresh(EntityWriter& w, const Object& o, NewEntity& e) {
  TagEdits g;
  Geometry(o, g);
  std::string out = EntityHead(w, "3DFACE", e, e.handle, e.owner) + w.Marker("AcDbFace");
  for (const auto& [code, value] : g.set) out += w.Tag(code, value);
  return out;
}

}  // namespace

const EntityKind kFaceKind{"3DFACE", Read, Writes, Changed, Fresh};

}  // namespace drawclean
