// POLYLINE with its VERTEX records and SEQEND: 2D ones are host
// kVertexListType (kCurvedVertexListType with arc segments), 3D ones (flag 8)
// kVertexList3DType. Meshes and fitted curves pass through. The only
// polyline of files before R2000.
#include "dxf/entity_kind.h"
#include "dxf/polyline_vertices.h"

namespace drawclean {
namespace {

using hostapp::Object;

constexpr long long kClosed = 1, kCurveFit = 2, kSplineFit = 4, k3d = 8, kPolygonMesh = 16,
                    kPolyfaceMesh = 64;
constexpr long long kVertexFitted = 1, kVertexFrame = 16, kVertex3d = 32;

// The records after the head: [first, last) of each VERTEX, and the SEQEND.
struct SubRecords {
  std::vector<std::pair<size_t, size_t>> vertices;
  size_t seqend;
};
SubRecords SubRecordsOf(const DxfFile& f, const DxfEntity& span) {
  SubRecords s{{}, span.last};
  size_t i = RecordEnd(f, span.first, span.last);
  while (i < span.last) {
    const size_t j = RecordEnd(f, i, span.last);
    if (Trimmed(f.tags[i].value) == "VERTEX") s.vertices.emplace_back(i, j);
    else if (s.seqend == span.last) s.seqend = i;
    i = j;
  }
  return s;
}

bool Read(DxfEntityRecord& rec, const DxfRecord& r, Object& o) {
  auto refuse = [&](PassReason why) {
    rec.passReason = why;
    return false;
  };
  const long long flags = r.Int(70);
  if (flags & kPolygonMesh) return refuse(PassReason::kPolygonMesh);
  if (flags & kPolyfaceMesh) return refuse(PassReason::kPolyfaceMesh);
  if (flags & (kCurveFit | kSplineFit)) return refuse(PassReason::kFitted);
  const bool is3d = (flags & k3d) != 0;
  if (!is3d && !r.FlatExtrusion()) return refuse(PassReason::kOffPlane);
  std::vector<BulgeVertex> vs;
  std::vector<HostWorldPt3D> v3;
  const DxfFile& f = r.f;
  size_t i = RecordEnd(f, rec.span.first, rec.span.last);
  while (i < rec.span.last && Trimmed(f.tags[i].value) == "VERTEX") {
    const size_t j = RecordEnd(f, i, rec.span.last);
    const DxfRecord vr{f, i, j, r.error};
    if (vr.Int(70) & (kVertexFitted | kVertexFrame)) return refuse(PassReason::kFitted);
    const double x = vr.Num(10), y = vr.Num(20), z = vr.Num(30), b = vr.Num(42);
    if (vr.failed) {
      r.failed = true;
      return false;
    }
    vs.push_back(BulgeVertex{x, y, b});
    v3.push_back(HostWorldPt3D{x, y, z});
    i = j;
  }
  const bool closed = (flags & kClosed) != 0;
  if (!is3d) return ReadFlatVertices(rec, vs, closed, o);
  if (v3.empty()) return refuse(PassReason::kMalformed);
  if (v3.size() > size_t(kMaxVertices)) return refuse(PassReason::kTooManyVertices);
  o.type = kVertexList3DType;
  o.closed = closed;
  o.vertices3d = std::move(v3);
  return true;
}

bool Writes(const Object& o, const DxfEntityRecord* origin, const DxfVersion& v) {
  return o.type == kVertexList3DType || (IsFlatVertexList(o) && !kLwPolylineKind.writes(o, origin, v));
}

long long HeadFlags(const DxfFile& f, const DxfEntity& span) {
  return DxfRecord{f, span.first, RecordEnd(f, span.first, span.last)}.Int(70);
}

// A 2D polyline stays 2D and a 3D one 3D; else it is written anew.
bool Keeps(const DxfEntityRecord& rec, const DxfFile& f, const Object& o) {
  return ((HeadFlags(f, rec.span) & k3d) != 0) == (o.type == kVertexList3DType);
}

// Each vertex rewrites the vertex record in its place (the last one's for
// vertices beyond them, with a new handle); the end mark stays.
std::string Changed(EntityWriter& w, const DxfEntityRecord& rec, const Object& o, TagEdits edits) {
  const DxfFile& f = w.d.file;
  const size_t head = RecordEnd(f, rec.span.first, rec.span.last);
  edits.Int(70, (HeadFlags(f, rec.span) & ~kClosed) | (o.closed ? kClosed : 0));
  std::string out = Rewrite(f, rec.span.first, head, edits);
  const SubRecords sub = SubRecordsOf(f, rec.span);
  const auto vs = VerticesOf(o);
  const bool is3d = o.type == kVertexList3DType;
  for (size_t k = 0; k < vs.size(); ++k) {
    TagEdits v;
    v.Num(10, vs[k].x), v.Num(20, vs[k].y);
    if (is3d) v.Num(30, vs[k].z);
    if (!sub.vertices.empty()) {
      const auto [vf, vl] = sub.vertices[std::min(k, sub.vertices.size() - 1)];
      const DxfRecord vr{f, vf, vl};
      if (vs[k].bulge != 0 || vr.Find(42)) v.Num(42, vs[k].bulge);
      if (k >= sub.vertices.size() && vr.Find(5)) v.set.emplace_back(5, w.NewHandle());
      out += Rewrite(f, vf, vl, v);
    } else {
      out += w.Tag(0, "VERTEX") + w.Tag(8, w.PropertiesOf(o).layer) + w.Tag(10, vs[k].x) + w.Tag(20, vs[k].y) +
             w.Tag(30, vs[k].z) + (vs[k].bulge != 0 ? w.Tag(42, vs[k].bulge) : "") + w.TagI(70, is3d ? kVertex3d : 0);
    }
  }
  out += RawTags(f, sub.seqend, rec.span.last);
  return out;
}

std::string Fresh(EntityWriter& w, const Object& o, NewEntity& e) {
  const bool is3d = o.type == kVertexList3DType;
  const auto vs = VerticesOf(o);
  std::string out = EntityHead(w, "POLYLINE", e, e.handle, e.owner) +
                    w.Marker(is3d ? "AcDb3dPolyline" : "AcDb2dPolyline") + w.TagI(66, 1) + w.Tag(10, 0.0) +
                    w.Tag(20, 0.0) + w.Tag(30, 0.0) + w.TagI(70, (o.closed ? kClosed : 0) | (is3d ? k3d : 0));
  // Vertices and the end mark belong to the polyline (where owners are written).
  const std::string parent = e.owner.empty() ? "" : e.handle;
  for (const auto& v : vs) {
    std::string vertexHandle;
    out += EntityHead(w, "VERTEX", e, vertexHandle, parent) + w.Marker("AcDbVertex") +
           w.Marker(is3d ? "AcDb3dPolylineVertex" : "AcDb2dVertex") + w.Tag(10, v.x) + w.Tag(20, v.y) +
           w.Tag(30, v.z);
    if (v.bulge != 0) out += w.Tag(42, v.bulge);
    out += w.TagI(70, is3d ? kVertex3d : 0);
  }
  std::string seqendHandle;
  return out + EntityHead(w, "SEQEND", e, seqendHandle, parent);
}

}  // namespace

const EntityKind kPolylineKind{"POLYLINE", Read, Writes, Changed, Fresh, Keeps};

}  // namespace drawclean
