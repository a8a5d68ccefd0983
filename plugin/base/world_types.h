// Coordinate records the host reads and writes. Each derives from the host
// interface's plain record, so a pointer to ours is a pointer to the host's
// layout without any cast; the static_asserts pin what the host relies on.
#pragma once

#include <cfloat>
#include <cstddef>

#include "cleanup/host_abi.h"

// A point: built from (x, y), stored y then x as the host expects.
// Default construction leaves it uninitialised, like the host's own records.
struct WorldPt : HostWorldPt {
  WorldPt() = default;
  constexpr WorldPt(double x, double y) : HostWorldPt{y, x} {}
};

// A point with height, stored x, y, z.
struct WorldPt3D : HostWorldPt3D {
  WorldPt3D() = default;
  constexpr WorldPt3D(double x, double y, double z) : HostWorldPt3D{x, y, z} {}
};

// An axis-aligned rectangle with y growing upward. The default is the empty
// rectangle, so bounds the host never filled never look like a real box.
struct WorldRect : HostWorldRect {
  constexpr WorldRect() : HostWorldRect{-DBL_MAX, DBL_MAX, DBL_MAX, -DBL_MAX} {}
};

static_assert(sizeof(WorldPt) == 16 && offsetof(WorldPt, y) == 0 && offsetof(WorldPt, x) == 8);
static_assert(sizeof(WorldPt3D) == 24 && offsetof(WorldPt3D, x) == 0 &&
              offsetof(WorldPt3D, y) == 8 && offsetof(WorldPt3D, z) == 16);
static_assert(sizeof(WorldRect) == 32 && offsetof(WorldRect, top) == 0 &&
              offsetof(WorldRect, left) == 8 && offsetof(WorldRect, bottom) == 16 &&
              offsetof(WorldRect, right) == 24);
