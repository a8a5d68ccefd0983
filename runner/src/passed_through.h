// The report's words for the entities that passed through unchanged because
// no pass handles them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "dxf/drawing.h"

namespace drawclean {

// Those entities by what they are ("polygon meshes", "texts", "circles off
// the XY plane"), in order of first appearance.
struct PassedKind {
  std::string one, many;  // "text", "texts"
  size_t count = 0;
};
std::vector<PassedKind> PassedThrough(const DxfDrawing& drawing);

}  // namespace drawclean
