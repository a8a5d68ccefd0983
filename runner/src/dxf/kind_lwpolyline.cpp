// LWPOLYLINE (R2000 on): host kVertexListType, or kCurvedVertexListType with
// arc segments. A changed one loses its per-vertex widths.
#include <cmath>

#include "dxf/entity_kind.h"
#include "dxf/polyline_vertices.h"

namespace drawclean {
namespace {

using hostapp::Object;

bool Read(DxfEntityRecord& rec, const DxfRecord& r, Object& o) {
  if (!r.FlatExtrusion()) {
    rec.passReason = PassReason::kOffPlane;
    return false;
  }
  std::vector<BulgeVertex> vs;
  for (size_t i = r.first + 1; i < r.last; ++i) {
    const DxfTag& t = r.At(i);
    if (t.code != 10 && t.code != 20 && t.code != 42) continue;
    const auto v = TagDouble(t);
    if (!v || !std::isfinite(*v)) {
      r.Fail(i, "group " + std::to_string(t.code) + " value is not a finite number");
      return false;
    }
    if (t.code == 10) vs.push_back(BulgeVertex{*v, 0, 0});
    else if (!vs.empty()) (t.code == 20 ? vs.back().y : vs.back().bulge) = *v;
  }
  return ReadFlatVertices(rec, vs, (r.Int(70) & 1) != 0, o);
}

// Kept as the polyline kind it was; a new one where the version has it.
bool Writes(const Object& o, const DxfEntityRecord* origin, const DxfVersion& v) {
  if (!IsFlatVertexList(o)) return false;
  if (origin && origin->kind == "LWPOLYLINE") return true;
  if (origin && origin->kind == "POLYLINE") return false;
  return v.LwPolylines();
}

std::string VertexTags(const EntityWriter& w, const std::vector<OutVertex>& vs) {
  std::string out;
  for (const auto& v : vs) {
    out += w.Tag(10, v.x) + w.Tag(20, v.y);
    if (v.bulge != 0) out += w.Tag(42, v.bulge);
  }
  return out;
}

// The vertex tags run from the first 10 to the last vertex code; everything
// before and after them stays.
std::string Changed(EntityWriter& w, const DxfEntityRecord& rec, const Object& o, TagEdits edits) {
  const auto& t = w.d.file.tags;
  const size_t first = rec.span.first, last = rec.span.last;
  size_t vFirst = last, vLast = last;
  for (size_t i = first + 1; i < last; ++i) {
    const int c = t[i].code;
    const bool vertexCode = c == 10 || c == 20 || c == 40 || c == 41 || c == 42 || c == 91;
    if (c == 10 && vFirst == last) vFirst = i;
    if (vertexCode && vFirst != last) vLast = i + 1;
  }
  const auto vs = VerticesOf(o);
  const DxfRecord r{w.d.file, first, last};
  edits.Int(90, static_cast<long long>(vs.size()));
  edits.Int(70, (r.Int(70) & ~1LL) | (o.closed ? 1 : 0));
  if (vFirst == last) return Rewrite(w.d.file, first, last, edits);
  return Rewrite(w.d.file, first, vFirst, edits) + VertexTags(w, vs) + std::string(RawTags(w.d.file, vLast, last));
}

std::string Fresh(EntityWriter& w, const Object& o, NewEntity& e) {
  const auto vs = VerticesOf(o);
  return EntityHead(w, "LWPOLYLINE", e, e.handle, e.owner) + w.Marker("AcDbPolyline") +
         w.TagI(90, static_cast<long long>(vs.size())) + w.TagI(70, o.closed ? 1 : 0) + VertexTags(w, vs);
}

}  // namespace

const EntityKind kLwPolylineKind{"LWPOLYLINE", Read, Writes, Changed, Fresh};

}  // namespace drawclean
