// CIRCLE and ARC: host kArcType with equal radii. ARC angles are degrees,
// counter-clockwise from start to end, modulo one turn.
#include "arc_span.h"
#include "dxf/entity_kind.h"

namespace drawclean {
namespace {

using hostapp::Object;

bool Read(DxfEntityRecord& rec, const DxfRecord& r, Object& o, bool arc) {
  if (!r.FlatExtrusion()) {
    rec.passReason = PassReason::kOffPlane;
    return false;
  }
  o.type = kArcType;
  const double x = r.Num(10), y = r.Num(20);
  o.center = HostWorldPt{y, x};
  o.hRadius = o.vRadius = r.Num(40);
  if (!arc) {
    o.startDeg = 0;
    o.sweepDeg = 360;
  } else {
    const double s = r.Num(50), e = r.Num(51);
    o.startDeg = NormalizedDeg(s);
    o.sweepDeg = CcwSpan(s, e, kTurnDeg);
  }
  return true;
}

// Files hold arcs counter-clockwise from the start, so a clockwise sweep
// turns round.
void Geometry(const Object& o, bool arc, TagEdits& g) {
  g.Num(10, o.center.x), g.Num(20, o.center.y), g.Num(40, o.hRadius);
  if (!arc) return;
  const CcwArc a = CcwArcOf(o.startDeg, o.sweepDeg);
  g.Num(50, NormalizedDeg(a.startDeg)), g.Num(51, NormalizedDeg(a.startDeg + a.sweepDeg));
}

std::string Changed(EntityWriter& w, const DxfEntityRecord& rec, const Object& o, TagEdits edits, bool arc) {
  Geometry(o, arc, edits);
  return Rewrite(w.d.file, rec.span.first, rec.span.last, edits);
}

std::string Fresh(EntityWriter& w, const Object& o, NewEntity& e, bool arc) {
  TagEdits g;
  Geometry(o, arc, g);
  std::string out = EntityHead(w, arc ? "ARC" : "CIRCLE", e, e.handle, e.owner) + w.Marker("AcDbCircle");
  for (const auto& [code, value] : g.set) {
    if (code == 50) out += w.Marker("AcDbArc");  // the angles belong to the second subclass
    out += w.Tag(code, value);
    if (code == 20) out += w.Tag(30, 0.0);
  }
  return out;
}

}  // namespace

const EntityKind kCircleKind{
    "CIRCLE",
    [](DxfEntityRecord& rec, const DxfRecord& r, Object& o) { return Read(rec, r, o, false); },
    [](const Object& o, const DxfEntityRecord* origin, const DxfVersion&) {
      return ArcFormOf(o, origin) == ArcForm::kCircle;
    },
    [](EntityWriter& w, const DxfEntityRecord& rec, const Object& o, TagEdits edits) {
      return Changed(w, rec, o, std::move(edits), false);
    },
    [](EntityWriter& w, const Object& o, NewEntity& e) { return Fresh(w, o, e, false); }};

const EntityKind kArcKind{
    "ARC",
    [](DxfEntityRecord& rec, const DxfRecord& r, Object& o) { return Read(rec, r, o, true); },
    [](const Object& o, const DxfEntityRecord* origin, const DxfVersion&) {
      return ArcFormOf(o, origin) == ArcForm::kArc;
    },
    [](EntityWriter& w, const DxfEntityRecord& rec, const Object& o, TagEdits edits) {
      return Changed(w, rec, o, std::move(edits), true);
    },
    [](EntityWriter& w, const Object& o, NewEntity& e) { return Fresh(w, o, e, true); }};

}  // namespace drawclean
