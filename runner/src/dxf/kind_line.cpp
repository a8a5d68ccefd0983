// LINE: host kLineType, and the chord of an arc of no sweep.
#include <cmath>
#include <numbers>

#include "arc_span.h"
#include "dxf/entity_kind.h"

namespace drawclean {
namespace {

using hostapp::Object;

HostWorldPt ArcPoint(const Object& o, double deg) {
  const double t = deg * std::numbers::pi / 180;
  return HostWorldPt{o.center.y + o.vRadius * std::sin(t), o.center.x + o.hRadius * std::cos(t)};
}

bool Read(DxfEntityRecord&, const DxfRecord& r, Object& o) {
  o.type = kLineType;
  const double x1 = r.Num(10), y1 = r.Num(20), x2 = r.Num(11), y2 = r.Num(21);
  o.first = HostWorldPt{y1, x1};
  o.second = HostWorldPt{y2, x2};
  return true;
}

bool Writes(const Object& o, const DxfEntityRecord* origin, const DxfVersion&) {
  return o.type == kLineType || ArcFormOf(o, origin) == ArcForm::kLine;
}

void Ends(const Object& o, HostWorldPt& a, HostWorldPt& b) {
  a = o.first, b = o.second;
  if (o.type == kArcType) {
    const CcwArc arc = CcwArcOf(o.startDeg, o.sweepDeg);
    a = ArcPoint(o, arc.startDeg), b = ArcPoint(o, arc.startDeg + arc.sweepDeg);
  }
}

std::string Changed(EntityWriter& w, const DxfEntityRecord& rec, const Object& o, TagEdits edits) {
  HostWorldPt a, b;
  Ends(o, a, b);
  edits.Num(10, a.x), edits.Num(20, a.y), edits.Num(11, b.x), edits.Num(21, b.y);
  return Rewrite(w.d.file, rec.span.first, rec.span.last, edits);
}

std::string Fresh(EntityWriter& w, const Object& o, NewEntity& e) {
  HostWorldPt a, b;
  Ends(o, a, b);
  return EntityHead(w, "LINE", e, e.handle, e.owner) + w.Marker("AcDbLine") + w.Tag(10, a.x) + w.Tag(20, a.y) +
         w.Tag(30, 0.0) + w.Tag(11, b.x) + w.Tag(21, b.y) + w.Tag(31, 0.0);
}

}  // namespace

const EntityKind kLineKind{"LINE", Read, Writes, Changed, Fresh};

}  // namespace drawclean
