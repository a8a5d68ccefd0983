#include "doubled.h"

namespace drawclean {

coverage::Doubled MeasureDrawnTwice(const hostapp::Host& host, const std::string& marker, const RunResult& r) {
  // Pointers, not copies: the drawing may hold a million objects.
  std::vector<const hostapp::Object*> drawn;
  drawn.reserve(host.ObjectCount());
  const auto markerId = host.FindClass(marker);
  for (ObjectHandle h : host.Objects()) {
    const hostapp::Object& o = host.Get(h);
    if (!markerId || o.cls != *markerId) drawn.push_back(&o);
  }
  return coverage::MeasureDoubled(drawn, r.pointTolerance * host.settings.worldScale);
}

std::string DrawnTwiceLine(const coverage::Doubled& d) {
  return "drawn twice within the point tolerance: " + coverage::DescribeDoubled(d);
}

}  // namespace drawclean
