// ELLIPSE with its major axis along an axis: host kArcType with two radii.
// Parameters are radians, counter-clockwise from start to end, modulo one
// turn; the host's angles start from +x whatever the axis's direction.
#include <cmath>
#include <numbers>

#include "arc_span.h"
#include "dxf/entity_kind.h"

namespace drawclean {
namespace {

using hostapp::Object;

// An ellipse counts as axis-aligned when its major axis leaves an axis by no
// more than this fraction of its length.
constexpr double kAxisAlignedRelative = 1e-12;
constexpr double kTurnRad = 2 * std::numbers::pi;

bool Read(DxfEntityRecord& rec, const DxfRecord& r, Object& o) {
  auto refuse = [&](PassReason why) {
    rec.passReason = why;
    return false;
  };
  if (!r.FlatExtrusion()) return refuse(PassReason::kOffPlane);
  const double mx = r.Num(11), my = r.Num(21), ratio = r.Num(40, 1.0);
  const double major = std::hypot(mx, my);
  if (!(major > 0) || !(ratio > 0) || ratio > 1) return refuse(PassReason::kMalformed);
  int q;
  if (std::fabs(my) <= kAxisAlignedRelative * major) q = mx > 0 ? 0 : 2;
  else if (std::fabs(mx) <= kAxisAlignedRelative * major) q = my > 0 ? 1 : 3;
  else return refuse(PassReason::kRotatedEllipse);
  rec.ellipseQuarter = q;
  o.type = kArcType;
  const double x = r.Num(10), y = r.Num(20);
  o.center = HostWorldPt{y, x};
  o.hRadius = q % 2 == 0 ? major : major * ratio;
  o.vRadius = q % 2 == 0 ? major * ratio : major;
  const double t0 = r.Num(41, 0.0), t1 = r.Num(42, kTurnRad);
  const double sweep = CcwSpan(t0, t1, kTurnRad);
  o.startDeg = NormalizedDeg(t0 * 180 / std::numbers::pi + 90.0 * q);
  o.sweepDeg = sweep == kTurnRad ? kTurnDeg : sweep * 180 / std::numbers::pi;
  return true;
}

bool Writes(const Object& o, const DxfEntityRecord* origin, const DxfVersion&) {
  return ArcFormOf(o, origin) == ArcForm::kEllipse;
}

// `quarter`: the major axis's direction in quarter turns from +x.
void Geometry(const Object& o, int quarter, TagEdits& g) {
  static constexpr int kCos[4] = {1, 0, -1, 0}, kSin[4] = {0, 1, 0, -1};
  const CcwArc arc = CcwArcOf(o.startDeg, o.sweepDeg);
  const double major = quarter % 2 == 0 ? o.hRadius : o.vRadius;
  const double minor = quarter % 2 == 0 ? o.vRadius : o.hRadius;
  const double t0 = NormalizedDeg(arc.startDeg - 90.0 * quarter) * std::numbers::pi / 180;
  g.Num(10, o.center.x), g.Num(20, o.center.y);
  g.Num(11, major * kCos[quarter]), g.Num(21, major * kSin[quarter]);
  g.Num(40, major > 0 ? minor / major : 1.0);
  g.Num(41, t0), g.Num(42, t0 + arc.sweepDeg * std::numbers::pi / 180);
}

std::string Changed(EntityWriter& w, const DxfEntityRecord& rec, const Object& o, TagEdits edits) {
  Geometry(o, rec.ellipseQuarter, edits);
  return Rewrite(w.d.file, rec.span.first, rec.span.last, edits);
}

// A new ellipse keeps the axis of the ellipse it replaces, else takes the
// longer radius as its major axis.
std::string Fresh(EntityWriter& w, const Object& o, NewEntity& e) {
  const int quarter = e.origin && e.origin->kind == "ELLIPSE" ? e.origin->ellipseQuarter
                      : o.hRadius >= o.vRadius                ? 0
                                                              : 1;
  TagEdits g;
  Geometry(o, quarter, g);
  std::string out = EntityHead(w, "ELLIPSE", e, e.handle, e.owner) + w.Marker("AcDbEllipse");
  for (const auto& [code, value] : g.set) {
    out += w.Tag(code, value);
    if (code == 20) out += w.Tag(30, 0.0);
  }
  return out;
}

}  // namespace

const EntityKind kEllipseKind{"ELLIPSE", Read, Writes, Changed, Fresh};

}  // namespace drawclean
