// One vertex of a flat vertex-list object, as the corner tests judge it.
#pragma once

#include <cstdint>

#include "base/world_types.h"
#include "cleanup/host_abi.h"

struct VertexRead {
  WorldPt p;
  int32_t type;
  double radius = 0.0;  // an arc vertex's radius
};

// Reads vertex `index` (from 1). Starts from a plain corner at the origin, so
// a host without GetVertex leaves defined values.
VertexRead ReadVertex(CallbackPtr cbp, ObjectHandle object, int index);
