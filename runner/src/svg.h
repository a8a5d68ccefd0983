// A picture of what a run did: the drawing before and after, side by side;
// removed or changed geometry red on the left, new or changed geometry blue
// on the right, everything else grey.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "hostapp/objects.h"

namespace drawclean {

using DrawingSnapshot = std::vector<std::pair<ObjectHandle, hostapp::Object>>;

std::string BeforeAfterSvg(const DrawingSnapshot& before, const DrawingSnapshot& after,
                           const std::string& title);

}  // namespace drawclean
