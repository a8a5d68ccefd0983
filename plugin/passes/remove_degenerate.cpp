// Deletes objects whose bounds are no wider and no taller than the size
// tolerance (limits included). Types 9 and 17 are never removed here.
#include <cstdint>

#include "base/object_types.h"
#include "base/run_globals.h"
#include "geometry/coords.h"
#include "host/host_calls.h"
#include "passes/passes.h"

void RemoveDegenerateObject(ObjectHandle object, CallbackPtr cbp) {
  const int16_t type = GetObjectType(cbp, object);
  if (type == kPointType || type == kPoint3DType) return;

  WorldRect bounds;
  GetObjectBounds(cbp, object, &bounds);
  // Bounds the host could not give stay empty, and an empty rectangle has
  // sizes of minus infinity: that says nothing about the object, so keep it.
  if (IsEmpty(bounds)) return;

  // A NaN edge fails both comparisons, so such an object stays too.
  const double width = bounds.right - bounds.left;
  const double height = bounds.top - bounds.bottom;
  if (width <= gSizeTolerance && height <= gSizeTolerance) DeleteObject(cbp, object, 0);
}
