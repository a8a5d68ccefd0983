// Removes every type-17 object, whatever its size, class or attributes.
#include "base/object_types.h"
#include "host/host_calls.h"
#include "passes/passes.h"

void RemoveType17Object(ObjectHandle object, CallbackPtr cbp) {
  if (GetObjectType(cbp, object) == kPointType) DeleteObject(cbp, object, 1);
}
