#include "hostapp/object_compare.h"

#include <algorithm>
#include <cstring>

namespace hostapp {
namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool SamePt(const HostWorldPt& a, const HostWorldPt& b) { return SameBits(a.x, b.x) && SameBits(a.y, b.y); }
bool SamePt3(const HostWorldPt3D& a, const HostWorldPt3D& b) {
  return SameBits(a.x, b.x) && SameBits(a.y, b.y) && SameBits(a.z, b.z);
}

}  // namespace

bool SameObject(const Object& a, const Object& b) {
  if (a.type != b.type || a.cls != b.cls || a.closed != b.closed) return false;
  const auto& x = a.attr;
  const auto& y = b.attr;
  if (x.wordA != y.wordA || x.wordB != y.wordB || x.longAttr != y.longAttr ||
      std::memcmp(x.record, y.record, 4) != 0 || std::memcmp(x.flags, y.flags, 6) != 0 ||
      x.longB != y.longB || x.longC != y.longC || x.group != y.group)
    return false;
  if (!SamePt(a.first, b.first) || !SamePt(a.second, b.second) || !SamePt(a.center, b.center) ||
      !SamePt(a.point, b.point) || !SamePt3(a.point3d, b.point3d))
    return false;
  if (!SameBits(a.startDeg, b.startDeg) || !SameBits(a.sweepDeg, b.sweepDeg) ||
      !SameBits(a.hRadius, b.hRadius) || !SameBits(a.vRadius, b.vRadius))
    return false;
  for (int i = 0; i < 4; ++i)
    if (!SamePt3(a.points3d[i], b.points3d[i])) return false;
  if (a.vertices.size() != b.vertices.size() || a.vertices3d.size() != b.vertices3d.size())
    return false;
  for (size_t i = 0; i < a.vertices.size(); ++i)
    if (!SamePt(a.vertices[i].p, b.vertices[i].p) || a.vertices[i].type != b.vertices[i].type ||
        !SameBits(a.vertices[i].radius, b.vertices[i].radius))
      return false;
  for (size_t i = 0; i < a.vertices3d.size(); ++i)
    if (!SamePt3(a.vertices3d[i], b.vertices3d[i])) return false;
  const double* ra = &a.bounds.top;
  const double* rb = &b.bounds.top;
  for (int i = 0; i < 4; ++i)
    if (!SameBits(ra[i], rb[i])) return false;
  return true;
}

namespace {
// A multiply-xorshift mix of each field SameObject looks at, a word at a time.
struct Digest {
  uint64_t h = 0x9E3779B97F4A7C15ull;
  void Mix(uint64_t w) {
    h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
  }
  template <typename T>
  void Add(const T& v) {
    unsigned char bytes[sizeof v];
    std::memcpy(bytes, &v, sizeof v);
    for (size_t at = 0; at < sizeof v; at += 8) {
      uint64_t w = 0;
      std::memcpy(&w, bytes + at, std::min<size_t>(8, sizeof v - at));
      Mix(w);
    }
  }
  void Add(const HostWorldPt& p) { Add(p.x), Add(p.y); }
  void Add(const HostWorldPt3D& p) { Add(p.x), Add(p.y), Add(p.z); }
};
}  // namespace

uint64_t ObjectDigest(const Object& o) {
  Digest d;
  d.Add(o.type), d.Add(o.cls), d.Add(o.closed);
  const auto& x = o.attr;
  d.Add(x.wordA), d.Add(x.wordB), d.Add(x.longAttr), d.Add(x.record), d.Add(x.flags), d.Add(x.longB);
  d.Add(x.longC), d.Add(x.group);
  d.Add(o.first), d.Add(o.second), d.Add(o.center), d.Add(o.point), d.Add(o.point3d);
  d.Add(o.startDeg), d.Add(o.sweepDeg), d.Add(o.hRadius), d.Add(o.vRadius);
  for (const HostWorldPt3D& p : o.points3d) d.Add(p);
  d.Add(o.vertices.size()), d.Add(o.vertices3d.size());
  for (const Vertex& v : o.vertices) d.Add(v.p), d.Add(v.type), d.Add(v.radius);
  for (const HostWorldPt3D& p : o.vertices3d) d.Add(p);
  d.Add(o.bounds.top), d.Add(o.bounds.left), d.Add(o.bounds.bottom), d.Add(o.bounds.right);
  return d.h | 1;
}

}  // namespace hostapp
