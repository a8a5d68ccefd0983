// The object type codes and vertex types the passes test are the host
// interface's own names (HostObjectType, HostVertexType); what they are is
// the host's business, the names say how the passes treat them.
#pragma once

#include <cstdint>

#include "cleanup/host_abi.h"

// An arc vertex draws an arc only between two neighbours and with a radius;
// at an open end, or with no radius, it is drawn as a plain corner.
inline bool DrawsArc(int32_t vertexType, double radius) { return vertexType == kArcVertex && radius > 0; }

inline bool IsFlatVertexList(int16_t type) {
  return type == kVertexListType || type == kCurvedVertexListType;
}
