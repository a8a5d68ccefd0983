#include "geometry/vertex_read.h"

#include "base/object_types.h"
#include "host/host_calls.h"

VertexRead ReadVertex(CallbackPtr cbp, ObjectHandle object, int index) {
  VertexRead v{WorldPt(0.0, 0.0), kPlainCorner, 0.0};
  GetVertex(cbp, object, static_cast<int16_t>(index), &v.p, &v.type, &v.radius);
  return v;
}
