#include <cmath>

#include "arc_span.h"
#include "dxf/entity_kind.h"
#include "dxf/properties.h"

namespace drawclean {
namespace {

// In the order KindFor asks them.
const EntityKind* const kKinds[] = {&kLineKind,       &kEllipseKind,  &kCircleKind, &kArcKind,
                                    &kLwPolylineKind, &kPolylineKind, &kPointKind,  &kFaceKind};

}  // namespace

const EntityKind* KindNamed(std::string_view name) {
  for (const EntityKind* k : kKinds)
    if (k->name == name) return k;
  return nullptr;
}

const EntityKind* KindFor(const hostapp::Object& o, const DxfEntityRecord* origin, const DxfVersion& v) {
  for (const EntityKind* k : kKinds)
    if (k->writes(o, origin, v)) return k;
  return nullptr;
}

ArcForm ArcFormOf(const hostapp::Object& o, const DxfEntityRecord* origin) {
  if (o.type != kArcType) return ArcForm::kNone;
  const CcwArc a = CcwArcOf(o.startDeg, o.sweepDeg);
  if (!std::isfinite(a.startDeg) || !std::isfinite(a.sweepDeg)) return ArcForm::kNone;
  // Its chord leaves an arc of no sweep by under 1e-17 of its radius.
  if (a.NoTurn()) return ArcForm::kLine;
  if (origin && origin->kind == "ELLIPSE") return ArcForm::kEllipse;
  if (o.hRadius != o.vRadius) return ArcForm::kEllipse;
  return a.FullTurn() ? ArcForm::kCircle : ArcForm::kArc;
}

DxfProperties EntityWriter::PropertiesOf(const hostapp::Object& o) const {
  return drawclean::PropertiesOf(d, host, marker, o);
}

std::string EntityHead(EntityWriter& w, std::string_view name, const NewEntity& e, std::string& handle,
                       std::string_view owner) {
  const DxfProperties& p = e.props;
  std::string out = w.Tag(0, name);
  if (w.d.usesHandles) {
    if (handle.empty()) handle = w.NewHandle();
    out += w.Tag(5, handle);
  }
  if (!owner.empty()) out += w.Tag(330, owner);
  out += w.Marker("AcDbEntity");
  out += w.Tag(8, p.layer);
  if (!p.linetype.empty()) out += w.Tag(6, p.linetype);
  if (p.colour != 256) out += w.TagI(62, p.colour);
  if (w.d.version.LineweightAndTrueColour()) {
    if (p.lineweight != -1) out += w.TagI(370, p.lineweight);
    if (p.trueColour >= 0) out += w.TagI(420, p.trueColour);
  }
  if (p.invisible) out += w.TagI(60, 1);
  return out;
}

}  // namespace drawclean
