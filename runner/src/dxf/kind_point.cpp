// POINT: host kPointType, or kPoint3DType when its z is not 0.
#include "dxf/entity_kind.h"

namespace drawclean {
namespace {

using hostapp::Object;

bool Read(DxfEntityRecord&, const DxfRecord& r, Object& o) {
  const double x = r.Num(10), y = r.Num(20), z = r.Num(30);
  if (z != 0.0) {
    o.type = kPoint3DType;
    o.point3d = HostWorldPt3D{x, y, z};
  } else {
    o.type = kPointType;
    o.point = HostWorldPt{y, x};
  }
  return true;
}

bool Writes(const Object& o, const DxfEntityRecord*, const DxfVersion&) {
  return o.type == kPoint3DType || o.type == kPointType;
}

void Geometry(const Object& o, TagEdits& g) {
  if (o.type == kPoint3DType) g.Num(10, o.point3d.x), g.Num(20, o.point3d.y), g.Num(30, o.point3d.z);
  else g.Num(10, o.point.x), g.Num(20, o.point.y);
}

std::string Changed(EntityWriter& w, const DxfEntityRecord& rec, const Object& o, TagEdits edits) {
  Geometry(o, edits);
  return Rewrite(w.d.file, rec.span.first, rec.span.last, edits);
}

std::string Fresh(EntityWriter& w, const Object& o, NewEntity& e) {
  TagEdits g;
  Geometry(o, g);
  std::string out = EntityHead(w, "POINT", e, e.handle, e.owner) + w.Marker("AcDbPoint");
  for (const auto& [code, value] : g.set) out += w.Tag(code, value);
  if (o.type == kPointType) out += w.Tag(30, 0.0);
  return out;
}

}  // namespace

const EntityKind kPointKind{"POINT", Read, Writes, Changed, Fresh};

}  // namespace drawclean
