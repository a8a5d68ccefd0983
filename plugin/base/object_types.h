// The object type codes and vertex types the passes test are the host
// interface's own names (HostObjectType, HostVertexType); what they are is
// the host's business, the names say how the passes treat them.
#pragma once

#include <cstdint>

#include "cleanup/host_abi.h"

inline bool IsFlatVertexList(int16_t type) {
  return type == kVertexListType || type == kCurvedVertexListType;
}
