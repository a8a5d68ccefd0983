// Removes every type-17 object, whatever its size, class or attributes.
#include "host/host_calls.h"
#include "passes/passes.h"

namespace {
constexpr int16_t kType17 = 17;
}

void RemoveType17Object(ObjectHandle object, CallbackPtr cbp) {
  if (GetObjectType(cbp, object) == kType17) DeleteObject(cbp, object, 1);
}
