#include "dxf/handles.h"

#include <algorithm>
#include <cstdio>

namespace drawclean {

unsigned long long ParseHandle(std::string_view s) {
  constexpr unsigned long long kMax = ~0ull;
  unsigned long long v = 0;
  for (char c : s) {
    const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10
                : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (d < 0) return 0;
    if (v > (kMax - unsigned(d)) / 16) return kMax;
    v = v * 16 + unsigned(d);
  }
  return v;
}

std::string FormatHandle(unsigned long long v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%llX", v);
  return buf;
}

std::string DxfHandles::Next() {
  if (exhausted || seed == ~0ull) {
    exhausted = refused = true;
    return "0";
  }
  moved = true;
  return FormatHandle(seed++);
}

DxfHandles HandlesOf(const DxfFile& file) {
  DxfHandles h;
  const auto& tags = file.tags;
  unsigned long long maxHandle = 0;
  for (size_t i = 0; i < tags.size(); ++i) {
    // The seed's own value is no handle in use.
    const bool seedValue = i > 0 && tags[i - 1].code == 9 && Trimmed(tags[i - 1].value) == "$HANDSEED";
    if ((tags[i].code == 5 || tags[i].code == 105) && !seedValue)
      maxHandle = std::max(maxHandle, ParseHandle(Trimmed(tags[i].value)));
    if (tags[i].code == 9 && i + 1 < tags.size() && Trimmed(tags[i].value) == "$HANDSEED") {
      h.seedTag = i + 1;
      h.seed = ParseHandle(Trimmed(tags[i + 1].value));
    }
  }
  // A seed at the very top leaves no room and is not in use itself, so it
  // gives way. The last value stays unused so the seed written back is free.
  constexpr unsigned long long kLastHandle = ~0ull;
  const unsigned long long aboveInUse = maxHandle == kLastHandle ? kLastHandle : maxHandle + 1;
  h.seed = std::max(h.seed, aboveInUse);
  if (h.seed == kLastHandle) h.seed = aboveInUse;
  h.exhausted = h.seed == kLastHandle;
  return h;
}

}  // namespace drawclean
