// Whether two host objects are the same, bit for bit, and a digest of
// everything that comparison looks at: how a front end tells which objects a
// pass left alone.
#pragma once

#include <cstdint>

#include "hostapp/objects.h"

namespace hostapp {

// Same type, class, attributes and geometry (bit for bit).
bool SameObject(const Object& a, const Object& b);
// A 64-bit digest of everything SameObject compares, never 0: objects that
// are the same have the same digest, and different ones almost surely not.
uint64_t ObjectDigest(const Object& o);

}  // namespace hostapp
