#include "passed_through.h"

#include <algorithm>

#include "shown.h"

namespace drawclean {
namespace {

struct KindNoun {
  const char* kind;
  const char* one;
  const char* many;
};
constexpr KindNoun kKindNouns[] = {
    {"TEXT", "text", "texts"},
    {"MTEXT", "multiline text", "multiline texts"},
    {"HATCH", "hatch", "hatches"},
    {"DIMENSION", "dimension", "dimensions"},
    {"INSERT", "block reference", "block references"},
    {"SPLINE", "spline", "splines"},
    {"SOLID", "solid", "solids"},
    {"TRACE", "trace", "traces"},
    {"ATTDEF", "attribute definition", "attribute definitions"},
    {"LEADER", "leader", "leaders"},
    {"MULTILEADER", "multileader", "multileaders"},
    {"MLEADER", "multileader", "multileaders"},
    {"MLINE", "multiline", "multilines"},
    {"XLINE", "construction line", "construction lines"},
    {"RAY", "ray", "rays"},
    {"VIEWPORT", "viewport", "viewports"},
    {"3DSOLID", "3D solid", "3D solids"},
    {"REGION", "region", "regions"},
    {"BODY", "body", "bodies"},
    {"MESH", "mesh", "meshes"},
    {"IMAGE", "image", "images"},
    {"WIPEOUT", "wipeout", "wipeouts"},
    {"TOLERANCE", "tolerance frame", "tolerance frames"},
    {"HELIX", "helix", "helices"},
    {"SHAPE", "shape", "shapes"},
    {"LINE", "line", "lines"},
    {"ARC", "arc", "arcs"},
    {"CIRCLE", "circle", "circles"},
    {"ELLIPSE", "ellipse", "ellipses"},
    {"LWPOLYLINE", "polyline", "polylines"},
    {"POLYLINE", "polyline", "polylines"},
    {"POINT", "point", "points"},
    {"3DFACE", "3D face", "3D faces"},
};

PassedKind Noun(const DxfEntityRecord& rec) {
  for (const KindNoun& k : kKindNouns)
    if (rec.kind == k.kind) return {k.one, k.many, 0};
  // The kind's own name, quoted short: it comes from the file.
  const std::string name = Shown(rec.kind, 30);
  return {name + " entity", name + " entities", 0};
}

PassedKind Describe(const DxfEntityRecord& rec) {
  PassedKind n = Noun(rec);
  auto with = [&](const char* suffix) {
    n.one += suffix, n.many += suffix;
    return n;
  };
  switch (rec.passReason) {
    case PassReason::kPaperSpace: return with(" in paper space");
    case PassReason::kOffPlane: return with(" off the XY plane");
    case PassReason::kPolygonMesh: return {"polygon mesh", "polygon meshes", 0};
    case PassReason::kPolyfaceMesh: return {"polyface mesh", "polyface meshes", 0};
    case PassReason::kFitted: return {"curve-fitted polyline", "curve-fitted polylines", 0};
    case PassReason::kRotatedEllipse: return {"rotated ellipse", "rotated ellipses", 0};
    case PassReason::kMalformed: return with(" without usable geometry");
    case PassReason::kTooManyVertices: return with(" of over 32,767 vertices");
    // --splines: why the curve could not be drawn, so it was left as it is
    case PassReason::kSplineFewPoints: return with(" with fewer control points than its degree + 1");
    case PassReason::kSplineKnots: return with(" with unusable knots or degree");
    case PassReason::kSplineWeights: return with(" with a weight not above 0 or missing");
    case PassReason::kSplineNotFinite: return with(" with a value that is no finite number");
    case PassReason::kSplineTooFine: return with(" needing over 32,767 vertices within the tolerance");
    default: return n;
  }
}

}  // namespace

std::vector<PassedKind> PassedThrough(const DxfDrawing& d) {
  std::vector<PassedKind> out;
  for (const DxfEntityRecord& rec : d.records) {
    if (rec.handle != 0) continue;
    PassedKind k = Describe(rec);
    auto it = std::find_if(out.begin(), out.end(), [&](const PassedKind& o) { return o.many == k.many; });
    if (it == out.end()) it = out.insert(out.end(), std::move(k));
    ++it->count;
  }
  return out;
}

}  // namespace drawclean
