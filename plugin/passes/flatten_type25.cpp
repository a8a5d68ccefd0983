// Replaces every three-dimensional vertex object by a flat one through the
// same x, y positions: a line for two vertices, otherwise a vertex-list
// object of plain corners, open or closed as before.
#include <cstdint>

#include "attributes/attributes.h"
#include "base/object_types.h"
#include "base/world_types.h"
#include "host/host_calls.h"
#include "passes/passes.h"

namespace {


WorldPt FlatVertex(CallbackPtr cbp, ObjectHandle object, int16_t index) {
  WorldPt3D p(0.0, 0.0, 0.0);  // stays zero when the host lacks the routine
  GetVertex3D(cbp, object, index, &p);
  return WorldPt(p.x, p.y);
}

ObjectHandle CreateFlatPolyline(CallbackPtr cbp, ObjectHandle object) {
  const ObjectHandle flat = CreatePolyline(cbp);
  if (flat == 0) return 0;
  // The count is asked afresh before each test; int so that a full 16-bit
  // count cannot overflow the index.
  for (int i = 1; i <= GetVertexCount(cbp, object); ++i) {
    const WorldPt p = FlatVertex(cbp, object, static_cast<int16_t>(i));
    AddVertex(cbp, flat, &p, kPlainCorner, 0.0, 0);
  }
  SetPolyClosed(cbp, flat, IsPolyClosed(cbp, object) ? 1 : 0);
  ResetObject(cbp, flat);
  return flat;
}

}  // namespace

void FlattenType25Object(ObjectHandle object, CallbackPtr cbp) {
  if (GetObjectType(cbp, object) != kVertexList3DType) return;

  // A negative count says the host cannot list the vertices: a flat copy
  // would be empty and the old object's shape lost, so it stays.
  const int16_t count = GetVertexCount(cbp, object);
  if (count < 0) return;

  ObjectHandle flat = 0;
  if (count == 2) {
    const WorldPt p = FlatVertex(cbp, object, 1);
    const WorldPt q = FlatVertex(cbp, object, 2);
    flat = CreateLine(cbp, &p, &q);
  } else {
    flat = CreateFlatPolyline(cbp, object);
  }
  // Without a replacement the old object stays: deleting it would lose it.
  if (flat == 0) return;

  CopyAttributes(cbp, object, flat);
  DeleteObject(cbp, object, 0);
}
