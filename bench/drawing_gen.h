// Generated drawings for the benchmarks: a fixed, realistic mix of what the
// passes clean up, repeated cell by cell until the drawing has n objects.
#pragma once

#include <cstddef>
#include <vector>

#include "hostapp/objects.h"

namespace bench {

// Objects in one cell of the mix; a drawing of n objects is n / kCellSize
// whole cells and the first n % kCellSize objects of one more.
inline constexpr size_t kCellSize = 20;

// Deterministic: the same n always gives the same drawing.
std::vector<hostapp::Object> MixedDrawing(size_t n);

}  // namespace bench
