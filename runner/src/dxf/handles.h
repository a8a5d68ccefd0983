// Entity handles: hexadecimal names, and new ones above every one in use.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "dxf/tags.h"

namespace drawclean {

// A handle's value; a handle too long for 64 bits saturates, so it still
// counts as the largest. 0 when it is not hexadecimal.
unsigned long long ParseHandle(std::string_view s);
std::string FormatHandle(unsigned long long v);

struct DxfHandles {
  unsigned long long seed = 0;        // next free handle
  bool exhausted = false;             // a handle is in use at the top of the range
  std::optional<size_t> seedTag;      // the $HANDSEED value's tag
  bool moved = false;                 // new handles were given out
  bool refused = false;               // one was asked for when none was left

  // The next free handle; "0" and `exhausted` when none is left.
  std::string Next();
};

// The seed: above every handle in use, whatever a stale $HANDSEED says.
DxfHandles HandlesOf(const DxfFile& file);

}  // namespace drawclean
