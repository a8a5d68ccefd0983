#include "dxf_map.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <numbers>
#include <unordered_map>

namespace drawclean {
namespace {

using hostapp::Object;
using hostapp::Vertex;

// An ellipse counts as axis-aligned when its major axis leaves an axis by no
// more than this fraction of its length.
constexpr double kAxisAlignedRelative = 1e-12;
constexpr int16_t kMaxVertices = 32767;  // vertex indices are 16-bit
// The long attribute holds a true colour with this bit set, so 0 (what a pass
// that clears the attribute leaves) means "none" and black stays black.
constexpr int32_t kTrueColourPresent = 0x1000000;

std::string_view Trimmed(const std::string& s) {
  std::string_view v(s);
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r')) v.remove_suffix(1);
  return v;
}

size_t LineOf(const DxfFile& f, size_t tag) {
  return 1 + std::count(f.source.begin(), f.source.begin() + f.tags[tag].begin, '\n');
}

// The tags of one entity record (up to its first sub-record), read by code.
struct Reader {
  const DxfFile& f;
  size_t first, last;
  std::string* error;
  bool failed = false;

  std::optional<size_t> Find(int code) const {
    for (size_t i = first + 1; i < last; ++i)
      if (f.tags[i].code == code) return i;
    return std::nullopt;
  }
  double Num(int code, double fallback = 0.0) {
    auto i = Find(code);
    if (!i) return fallback;
    auto v = TagDouble(f.tags[*i]);
    if (!v || !std::isfinite(*v)) {
      Fail(*i, "group " + std::to_string(code) + " value '" + Shown(Trimmed(f.tags[*i].value)) +
                   "' is not a finite number");
      return fallback;
    }
    return *v;
  }
  long long Int(int code, long long fallback = 0) {
    auto i = Find(code);
    if (!i) return fallback;
    auto v = TagInt(f.tags[*i]);
    if (!v) {
      Fail(*i, "group " + std::to_string(code) + " value '" + Shown(Trimmed(f.tags[*i].value)) +
                   "' is not an integer");
      return fallback;
    }
    return *v;
  }
  std::string Str(int code, std::string fallback = "") const {
    auto i = Find(code);
    return i ? std::string(Trimmed(f.tags[*i].value)) : fallback;
  }
  void Fail(size_t tag, const std::string& what) {
    if (failed) return;
    failed = true;
    if (error)
      *error = "line " + std::to_string(LineOf(f, tag) + 1) + ": " +
               Shown(Trimmed(f.tags[first].value)) + ": " + what;
  }
  bool FlatExtrusion() {
    return Num(210, 0.0) == 0.0 && Num(220, 0.0) == 0.0 && Num(230, 1.0) == 1.0;
  }
};

size_t SubRecordStart(const DxfFile& f, const DxfEntity& e) {
  for (size_t i = e.first + 1; i < e.last; ++i)
    if (f.tags[i].code == 0) return i;
  return e.last;
}

double NormalizeDeg(double a) {
  a = std::fmod(a, 360.0);
  if (a < 0) a += 360.0;
  return a;
}

HostWorldPt P(double x, double y) { return HostWorldPt{y, x}; }


bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool SamePt(const HostWorldPt& a, const HostWorldPt& b) { return SameBits(a.x, b.x) && SameBits(a.y, b.y); }
bool SamePt3(const HostWorldPt3D& a, const HostWorldPt3D& b) {
  return SameBits(a.x, b.x) && SameBits(a.y, b.y) && SameBits(a.z, b.z);
}

// A handle too long for 64 bits saturates, so it still counts as the largest.
unsigned long long ParseHex(std::string_view s) {
  constexpr unsigned long long kMax = ~0ull;
  unsigned long long v = 0;
  for (char c : s) {
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10
          : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (d < 0) return 0;
    if (v > (kMax - unsigned(d)) / 16) return kMax;
    v = v * 16 + unsigned(d);
  }
  return v;
}

std::string Hex(unsigned long long v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%llX", v);
  return buf;
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
  for (const hostapp::Vertex& v : o.vertices) d.Add(v.p), d.Add(v.type), d.Add(v.radius);
  for (const HostWorldPt3D& p : o.vertices3d) d.Add(p);
  d.Add(o.bounds.top), d.Add(o.bounds.left), d.Add(o.bounds.bottom), d.Add(o.bounds.right);
  return d.h | 1;
}

// ---- reading ----

namespace {

struct Loader {
  DxfDrawing& d;
  hostapp::Host& host;
  std::string* error;

  uint16_t LinetypeIndex(const std::string& name) {
    for (size_t i = 0; i < d.linetypes.size(); ++i)
      if (d.linetypes[i] == name) return uint16_t(i);
    d.linetypes.push_back(name);
    return uint16_t(d.linetypes.size() - 1);
  }

  void ApplyProperties(const DxfProperties& p, size_t index, Object& o) {
    o.cls = host.ClassNamed(p.layer);
    o.attr.wordA = p.colour;
    o.attr.wordB = p.lineweight;
    o.attr.longAttr = p.trueColour >= 0 ? (kTrueColourPresent | p.trueColour) : 0;
    const uint16_t lt = LinetypeIndex(p.linetype);
    o.attr.record[2] = uint8_t(lt & 0xFF);
    o.attr.record[3] = uint8_t(lt >> 8);
    o.attr.flags[0] = p.invisible ? 1 : 0;
    o.attr.group = int64_t(index) + 1;
  }

  // Fills `o` from the entity; false when the host does not model it (the
  // entity then passes through). Malformed numbers set r.failed.
  bool Map(DxfEntityRecord& rec, Reader& r, Object& o) {
    const std::string& k = rec.kind;
    if (k == "LINE") {
      o.type = kLineType;
      o.first = P(r.Num(10), r.Num(20));
      o.second = P(r.Num(11), r.Num(21));
      return true;
    }
    if (k == "CIRCLE" || k == "ARC") {
      if (!r.FlatExtrusion()) return Refuse(rec, PassReason::kOffPlane);
      o.type = kArcType;
      o.center = P(r.Num(10), r.Num(20));
      o.hRadius = o.vRadius = r.Num(40);
      if (k == "CIRCLE") {
        o.startDeg = 0;
        o.sweepDeg = 360;
      } else {
        double s = r.Num(50), e = r.Num(51);
        o.startDeg = NormalizeDeg(s);
        double sweep = NormalizeDeg(e - s);
        o.sweepDeg = sweep == 0 ? 360 : sweep;
      }
      return true;
    }
    if (k == "ELLIPSE") {
      if (!r.FlatExtrusion()) return Refuse(rec, PassReason::kOffPlane);
      const double mx = r.Num(11), my = r.Num(21), ratio = r.Num(40, 1.0);
      const double major = std::hypot(mx, my);
      if (!(major > 0) || !(ratio > 0) || ratio > 1) return Refuse(rec, PassReason::kMalformed);
      int q;
      if (std::fabs(my) <= kAxisAlignedRelative * major) q = mx > 0 ? 0 : 2;
      else if (std::fabs(mx) <= kAxisAlignedRelative * major) q = my > 0 ? 1 : 3;
      else return Refuse(rec, PassReason::kRotatedEllipse);
      rec.ellipseQuarter = q;
      o.type = kArcType;
      o.center = P(r.Num(10), r.Num(20));
      o.hRadius = q % 2 == 0 ? major : major * ratio;
      o.vRadius = q % 2 == 0 ? major * ratio : major;
      const double t0 = r.Num(41, 0.0), t1 = r.Num(42, 2 * std::numbers::pi);
      double sweep = std::fmod(t1 - t0, 2 * std::numbers::pi);
      if (sweep <= 0) sweep += 2 * std::numbers::pi;
      o.startDeg = NormalizeDeg(t0 * 180 / std::numbers::pi + 90.0 * q);
      o.sweepDeg = sweep * 180 / std::numbers::pi;
      return true;
    }
    if (k == "POINT") {
      const double x = r.Num(10), y = r.Num(20), z = r.Num(30);
      if (z != 0.0) {
        o.type = kPoint3DType;
        o.point3d = HostWorldPt3D{x, y, z};
      } else {
        o.type = kPointType;
        o.point = P(x, y);
      }
      return true;
    }
    if (k == "3DFACE") {
      o.type = kFourPoints3DType;
      for (int i = 0; i < 4; ++i)
        o.points3d[i] = HostWorldPt3D{r.Num(10 + i), r.Num(20 + i), r.Num(30 + i)};
      o.attr.longC = int32_t(r.Int(70));
      return true;
    }
    if (k == "LWPOLYLINE") {
      if (!r.FlatExtrusion()) return Refuse(rec, PassReason::kOffPlane);
      std::vector<BulgeVertex> vs;
      for (size_t i = r.first + 1; i < r.last; ++i) {
        const DxfTag& t = d.file.tags[i];
        if (t.code != 10 && t.code != 20 && t.code != 42) continue;
        auto v = TagDouble(t);
        if (!v || !std::isfinite(*v)) {
          r.Fail(i, "group " + std::to_string(t.code) + " value is not a finite number");
          return false;
        }
        if (t.code == 10) vs.push_back(BulgeVertex{*v, 0, 0});
        else if (!vs.empty()) (t.code == 20 ? vs.back().y : vs.back().bulge) = *v;
      }
      return MapFlat(rec, vs, (r.Int(70) & 1) != 0, o);
    }
    if (k == "POLYLINE") {
      const long long flags = r.Int(70);
      // Fitted curves and meshes stay as they are.
      if (flags & 16) return Refuse(rec, PassReason::kPolygonMesh);
      if (flags & 64) return Refuse(rec, PassReason::kPolyfaceMesh);
      if (flags & (2 | 4)) return Refuse(rec, PassReason::kFitted);
      const bool is3d = (flags & 8) != 0;
      if (!is3d && !r.FlatExtrusion()) return Refuse(rec, PassReason::kOffPlane);
      std::vector<BulgeVertex> vs;
      std::vector<HostWorldPt3D> v3;
      size_t i = SubRecordStart(d.file, rec.span);
      while (i < rec.span.last && Trimmed(d.file.tags[i].value) == "VERTEX") {
        size_t j = i + 1;
        while (j < rec.span.last && d.file.tags[j].code != 0) ++j;
        Reader vr{d.file, i, j, error};
        if (vr.Int(70) & (1 | 16)) return Refuse(rec, PassReason::kFitted);  // fit or frame vertices
        const double x = vr.Num(10), y = vr.Num(20), z = vr.Num(30), b = vr.Num(42);
        if (vr.failed) {
          r.failed = true;
          return false;
        }
        vs.push_back(BulgeVertex{x, y, b});
        v3.push_back(HostWorldPt3D{x, y, z});
        i = j;
      }
      const bool closed = (flags & 1) != 0;
      if (!is3d) return MapFlat(rec, vs, closed, o);
      if (v3.empty()) return Refuse(rec, PassReason::kMalformed);
      if (v3.size() > size_t(kMaxVertices)) return Refuse(rec, PassReason::kTooManyVertices);
      o.type = kVertexList3DType;
      o.closed = closed;
      o.vertices3d = std::move(v3);
      return true;
    }
    return Refuse(rec, PassReason::kKind);
  }

  static bool Refuse(DxfEntityRecord& rec, PassReason why) {
    rec.passReason = why;
    return false;
  }

  bool MapFlat(DxfEntityRecord& rec, const std::vector<BulgeVertex>& vs, bool closed, Object& o) {
    if (vs.empty()) return Refuse(rec, PassReason::kMalformed);
    bool arcs = false;
    for (size_t i = 0; i < vs.size(); ++i)
      if (vs[i].bulge != 0 && (closed || i + 1 < vs.size())) arcs = true;
    o.type = arcs ? kCurvedVertexListType : kVertexListType;
    o.closed = closed;
    o.vertices = VerticesFromBulges(vs, closed);
    if (o.vertices.size() > size_t(kMaxVertices)) return Refuse(rec, PassReason::kTooManyVertices);
    return true;
  }
};

}  // namespace

bool LoadDxf(std::string text, hostapp::Host& host, DxfDrawing& d, std::string* error) {
  auto file = ParseDxf(std::move(text), error);
  if (!file) return false;
  d = DxfDrawing{};
  d.file = std::move(*file);
  const auto& tags = d.file.tags;

  unsigned long long maxHandle = 0;
  bool haveVersion = false;
  bool r13OrLater = false;
  for (size_t i = 0; i < tags.size(); ++i) {
    const bool seedValue = i > 0 && tags[i - 1].code == 9 && Trimmed(tags[i - 1].value) == "$HANDSEED";
    if ((tags[i].code == 5 || tags[i].code == 105) && !seedValue)
      maxHandle = std::max(maxHandle, ParseHex(Trimmed(tags[i].value)));
    if (tags[i].code != 9 || i + 1 >= tags.size()) continue;
    std::string_view name = Trimmed(tags[i].value);
    if (name == "$ACADVER") {
      std::string_view v = Trimmed(tags[i + 1].value);
      haveVersion = true;
      d.r12 = v.size() == 6 && v.substr(0, 2) == "AC" && v < "AC1015";
      r13OrLater = !(v.size() == 6 && v.substr(0, 2) == "AC" && v <= "AC1009");
    } else if (name == "$HANDSEED") {
      d.handseedTag = i + 1;
      d.handseed = ParseHex(Trimmed(tags[i + 1].value));
    }
  }
  if (!haveVersion) d.r12 = true;
  // New handles go above every one in use, whatever a stale seed says; a
  // seed at the very top leaves no room and is not in use itself, so it
  // gives way. The last value stays unused so the seed written back is free.
  constexpr unsigned long long kLastHandle = ~0ull;
  const unsigned long long aboveInUse = maxHandle == kLastHandle ? kLastHandle : maxHandle + 1;
  d.handseed = std::max(d.handseed, aboveInUse);
  if (d.handseed == kLastHandle) d.handseed = aboveInUse;
  d.handlesExhausted = d.handseed == kLastHandle;

  for (const DxfSection& s : FindSections(d.file))
    if (s.name == "ENTITIES") d.entities = s;
  if (!d.entities) return true;

  Loader loader{d, host, error};
  auto spans = SplitEntities(d.file, d.entities->body, d.entities->end);
  d.records.reserve(spans.size());
  for (const DxfEntity& span : spans) {
    DxfEntityRecord rec;
    rec.span = span;
    rec.kind = std::string(Trimmed(tags[span.first].value));
    Reader r{d.file, span.first, SubRecordStart(d.file, span), error};
    rec.entityHandle = r.Str(5);
    if (!rec.entityHandle.empty()) d.usesHandles = true;
    if (r.Find(100)) d.subclassMarkers = true;
    rec.props.layer = r.Str(8, "0");
    rec.props.linetype = r.Str(6);
    rec.props.colour = int16_t(r.Int(62, 256));
    rec.props.lineweight = int16_t(r.Int(370, -1));
    rec.props.trueColour = int32_t(r.Int(420, -1));
    rec.props.invisible = r.Int(60) != 0;
    const bool paperSpace = r.Int(67) != 0;
    Object o;
    const bool mapped = !paperSpace && !r.failed && loader.Map(rec, r, o);
    if (r.failed) return false;
    if (paperSpace) rec.passReason = PassReason::kPaperSpace;
    if (mapped) {
      loader.ApplyProperties(rec.props, d.records.size(), o);
      rec.loaded = o;
      rec.handle = host.Add(o);
      rec.loaded = host.Get(rec.handle);
    }
    d.records.push_back(std::move(rec));
  }
  if (r13OrLater) d.usesHandles = d.subclassMarkers = true;
  return true;
}

// ---- writing ----

namespace {

struct Saver {
  DxfDrawing& d;
  const hostapp::Host& host;
  const std::string& marker;
  DxfWriteStats st;
  bool handlesMoved = false;

  std::string Tag(int code, std::string_view v) const { return FormatTag(d.file, code, v); }
  std::string Tag(int code, double v) const { return Tag(code, FormatDouble(v)); }
  std::string TagI(int code, long long v) const { return Tag(code, std::to_string(v)); }

  std::string NewHandle() {
    if (d.handlesExhausted || d.handseed == ~0ull) {
      d.handlesExhausted = true;
      st.outOfHandles = true;
      return "0";
    }
    handlesMoved = true;
    return Hex(d.handseed++);
  }

  // The properties an object carries now; what it cannot say comes from the
  // entity whose properties it inherited.
  DxfProperties PropertiesOf(const Object& o) const {
    DxfProperties p;
    const int64_t g = o.attr.group;
    if (g >= 1 && size_t(g) <= d.records.size()) p = d.records[size_t(g - 1)].props;
    std::string cls = o.cls != 0 && host.ClassExists(o.cls) ? host.ClassName(o.cls) : "";
    if (!cls.empty() && cls != marker) p.layer = cls;
    p.colour = o.attr.wordA;
    p.lineweight = o.attr.wordB;
    // A pass may clear the long attribute; the colour then stays the inherited one.
    if (o.attr.longAttr != 0) p.trueColour = o.attr.longAttr & 0xFFFFFF;
    const size_t lt = size_t(o.attr.record[2]) | size_t(o.attr.record[3]) << 8;
    if (lt < d.linetypes.size()) p.linetype = d.linetypes[lt];
    p.invisible = o.attr.flags[0] != 0;
    return p;
  }

  static std::string KindFor(const Object& o, const DxfEntityRecord* origin, bool r12) {
    switch (o.type) {
      case kLineType: return "LINE";
      case kArcType:
        if (origin && origin->kind == "ELLIPSE") return "ELLIPSE";
        if (o.hRadius != o.vRadius) return "ELLIPSE";
        return o.sweepDeg >= 360 ? "CIRCLE" : "ARC";
      case kVertexListType: case kCurvedVertexListType:
        if (origin && (origin->kind == "LWPOLYLINE" || origin->kind == "POLYLINE"))
          return origin->kind;
        return r12 ? "POLYLINE" : "LWPOLYLINE";
      case kVertexList3DType: return "POLYLINE";
      case kPoint3DType: case kPointType: return "POINT";
      case kFourPoints3DType: return "3DFACE";
      default: return "";
    }
  }

  // Values of the common properties that differ from the entity's own.
  void PropertyEdits(const DxfProperties& now, const DxfProperties& was,
                     std::vector<std::pair<int, std::string>>& set, std::vector<int>& drop) const {
    if (now.layer != was.layer) set.emplace_back(8, now.layer);
    if (now.linetype != was.linetype) {
      if (now.linetype.empty()) drop.push_back(6);
      else set.emplace_back(6, now.linetype);
    }
    if (now.colour != was.colour) set.emplace_back(62, std::to_string(now.colour));
    if (now.lineweight != was.lineweight) set.emplace_back(370, std::to_string(now.lineweight));
    if (now.trueColour != was.trueColour) {
      if (now.trueColour < 0) drop.push_back(420);
      else set.emplace_back(420, std::to_string(now.trueColour));
    }
    if (now.invisible != was.invisible) set.emplace_back(60, now.invisible ? "1" : "0");
  }

  // Tags [first, last) with the first occurrence of each code in `set` given
  // its new value, codes in `drop` removed, and codes not present added:
  // properties after the layer, geometry before any extended data.
  std::string Rewrite(size_t first, size_t last, const std::vector<std::pair<int, std::string>>& set,
                      const std::vector<int>& drop) const {
    const auto& t = d.file.tags;
    std::vector<bool> done(set.size(), false);
    std::vector<size_t> at(set.size(), SIZE_MAX);
    for (size_t k = 0; k < set.size(); ++k)
      for (size_t i = first + 1; i < last; ++i)
        if (t[i].code == set[k].first) {
          at[k] = i;
          break;
        }
    size_t layerTag = SIZE_MAX, xdata = last;
    for (size_t i = first + 1; i < last; ++i) {
      if (t[i].code == 8 && layerTag == SIZE_MAX) layerTag = i;
      if (t[i].code >= 1000 && xdata == last) xdata = i;
    }
    auto isProperty = [](int c) { return c == 8 || c == 6 || c == 62 || c == 370 || c == 420 || c == 60; };
    auto addMissing = [&](bool properties, std::string& out) {
      for (size_t k = 0; k < set.size(); ++k)
        if (at[k] == SIZE_MAX && !done[k] && isProperty(set[k].first) == properties) {
          out += Tag(set[k].first, set[k].second);
          done[k] = true;
        }
    };
    std::string out;
    for (size_t i = first; i < last; ++i) {
      if (i == xdata) addMissing(false, out);
      if (std::find(drop.begin(), drop.end(), t[i].code) != drop.end()) continue;
      bool replaced = false;
      for (size_t k = 0; k < set.size(); ++k)
        if (at[k] == i) {
          out += Tag(t[i].code, set[k].second);
          replaced = true;
        }
      if (!replaced) out += RawTags(d.file, i, i + 1);
      if (i == layerTag) addMissing(true, out);
    }
    if (xdata == last) addMissing(false, out);
    addMissing(true, out);
    return out;
  }

  static void Geometry(const Object& o, const std::string& kind, int quarter,
                       std::vector<std::pair<int, std::string>>& set) {
    auto num = [&](int c, double v) { set.emplace_back(c, FormatDouble(v)); };
    if (kind == "LINE") {
      num(10, o.first.x), num(20, o.first.y), num(11, o.second.x), num(21, o.second.y);
    } else if (kind == "CIRCLE" || kind == "ARC") {
      num(10, o.center.x), num(20, o.center.y), num(40, o.hRadius);
      if (kind == "ARC")
        num(50, NormalizeDeg(o.startDeg)), num(51, NormalizeDeg(o.startDeg + o.sweepDeg));
    } else if (kind == "ELLIPSE") {
      static constexpr int kCos[4] = {1, 0, -1, 0}, kSin[4] = {0, 1, 0, -1};
      const double major = quarter % 2 == 0 ? o.hRadius : o.vRadius;
      const double minor = quarter % 2 == 0 ? o.vRadius : o.hRadius;
      const double t0 = NormalizeDeg(o.startDeg - 90.0 * quarter) * std::numbers::pi / 180;
      num(10, o.center.x), num(20, o.center.y);
      num(11, major * kCos[quarter]), num(21, major * kSin[quarter]);
      num(40, major > 0 ? minor / major : 1.0);
      num(41, t0), num(42, t0 + o.sweepDeg * std::numbers::pi / 180);
    } else if (kind == "POINT") {
      if (o.type == kPoint3DType) num(10, o.point3d.x), num(20, o.point3d.y), num(30, o.point3d.z);
      else num(10, o.point.x), num(20, o.point.y);
    } else if (kind == "3DFACE") {
      for (int i = 0; i < 4; ++i)
        num(10 + i, o.points3d[i].x), num(20 + i, o.points3d[i].y), num(30 + i, o.points3d[i].z);
      set.emplace_back(70, std::to_string(o.attr.longC));
    }
  }

  // Vertices of a flat object as (x, y, bulge), or of a 3D one with its z.
  struct OutVertex {
    double x, y, z, bulge;
  };
  static std::vector<OutVertex> VerticesOf(const Object& o) {
    std::vector<OutVertex> vs;
    if (o.type == kVertexList3DType) {
      for (const auto& p : o.vertices3d) vs.push_back({p.x, p.y, p.z, 0});
    } else {
      for (const auto& b : BulgesFromVertices(o.vertices, o.closed)) vs.push_back({b.x, b.y, 0, b.bulge});
    }
    return vs;
  }

  std::string LwVertexTags(const std::vector<OutVertex>& vs) const {
    std::string out;
    for (const auto& v : vs) {
      out += Tag(10, v.x) + Tag(20, v.y);
      if (v.bulge != 0) out += Tag(42, v.bulge);
    }
    return out;
  }

  std::string ChangedLwPolyline(const DxfEntityRecord& rec, const Object& o,
                                std::vector<std::pair<int, std::string>> set, const std::vector<int>& drop) {
    const auto& t = d.file.tags;
    const size_t first = rec.span.first, last = rec.span.last;
    size_t vFirst = last, vLast = last;
    for (size_t i = first + 1; i < last; ++i) {
      const int c = t[i].code;
      const bool vertexCode = c == 10 || c == 20 || c == 40 || c == 41 || c == 42 || c == 91;
      if (c == 10 && vFirst == last) vFirst = i;
      if (vertexCode && vFirst != last) vLast = i + 1;
    }
    const auto vs = VerticesOf(o);
    Reader r{d.file, first, last, nullptr};
    set.emplace_back(90, std::to_string(vs.size()));
    set.emplace_back(70, std::to_string((r.Int(70) & ~1LL) | (o.closed ? 1 : 0)));
    if (vFirst == last) return Rewrite(first, last, set, drop) ;
    return Rewrite(first, vFirst, set, drop) + LwVertexTags(vs) + std::string(RawTags(d.file, vLast, last));
  }

  std::string ChangedPolyline(const DxfEntityRecord& rec, const Object& o,
                              std::vector<std::pair<int, std::string>> set, const std::vector<int>& drop) {
    const auto& t = d.file.tags;
    const size_t head = SubRecordStart(d.file, rec.span);
    Reader r{d.file, rec.span.first, head, nullptr};
    set.emplace_back(70, std::to_string((r.Int(70) & ~1LL) | (o.closed ? 1 : 0)));
    std::string out = Rewrite(rec.span.first, head, set, drop);
    std::vector<std::pair<size_t, size_t>> vertices;
    size_t i = head, seqend = rec.span.last;
    while (i < rec.span.last) {
      size_t j = i + 1;
      while (j < rec.span.last && t[j].code != 0) ++j;
      if (Trimmed(t[i].value) == "VERTEX") vertices.emplace_back(i, j);
      else if (seqend == rec.span.last) seqend = i;
      i = j;
    }
    const auto vs = VerticesOf(o);
    const bool is3d = o.type == kVertexList3DType;
    for (size_t k = 0; k < vs.size(); ++k) {
      std::vector<std::pair<int, std::string>> vset = {{10, FormatDouble(vs[k].x)},
                                                       {20, FormatDouble(vs[k].y)}};
      if (is3d) vset.emplace_back(30, FormatDouble(vs[k].z));
      if (!vertices.empty()) {
        const auto [vf, vl] = vertices[std::min(k, vertices.size() - 1)];
        Reader vr{d.file, vf, vl, nullptr};
        if (vs[k].bulge != 0 || vr.Find(42)) vset.emplace_back(42, FormatDouble(vs[k].bulge));
        if (k >= vertices.size() && vr.Find(5)) vset.emplace_back(5, NewHandle());
        out += Rewrite(vf, vl, vset, {});
      } else {
        out += Tag(0, "VERTEX") + Tag(8, PropertiesOf(o).layer) + Tag(10, vs[k].x) + Tag(20, vs[k].y) +
               Tag(30, vs[k].z) + (vs[k].bulge != 0 ? Tag(42, vs[k].bulge) : "") +
               TagI(70, is3d ? 32 : 0);
      }
    }
    out += RawTags(d.file, seqend, rec.span.last);
    return out;
  }

  std::string Changed(const DxfEntityRecord& rec, const Object& o) {
    const std::string kind = KindFor(o, &rec, d.r12);
    const bool samePolylineKind =
        rec.kind != "POLYLINE" ||
        ((Reader{d.file, rec.span.first, SubRecordStart(d.file, rec.span), nullptr}.Int(70) & 8) != 0) ==
            (o.type == kVertexList3DType);
    if (kind != rec.kind || !samePolylineKind) return Fresh(o, kind, &rec);
    std::vector<std::pair<int, std::string>> set;
    std::vector<int> drop;
    PropertyEdits(PropertiesOf(o), rec.props, set, drop);
    if (kind == "LWPOLYLINE") return ChangedLwPolyline(rec, o, set, drop);
    if (kind == "POLYLINE") return ChangedPolyline(rec, o, set, drop);
    Geometry(o, kind, rec.ellipseQuarter, set);
    return Rewrite(rec.span.first, rec.span.last, set, drop);
  }

  // A new entity in place of `origin` (which lends its handle) or of the
  // entity whose properties the object inherited.
  std::string Fresh(const Object& o, std::string kind, const DxfEntityRecord* origin) {
    if (kind.empty()) {
      ++st.skipped;
      return "";
    }
    const DxfEntityRecord* model = origin;
    const int64_t g = o.attr.group;
    if (!model && g >= 1 && size_t(g) <= d.records.size()) model = &d.records[size_t(g - 1)];
    const DxfProperties p = PropertiesOf(o);
    std::string owner;
    if (model) owner = Reader{d.file, model->span.first, model->span.last, nullptr}.Str(330);
    const bool markers = d.subclassMarkers;
    // Returns the entity's tags; `handle` is filled with the one it got.
    auto common = [&](const std::string& name, std::string& handle, const std::string& ownedBy) {
      std::string out = Tag(0, name);
      if (d.usesHandles) {
        if (handle.empty()) handle = NewHandle();
        out += Tag(5, handle);
      }
      if (!ownedBy.empty()) out += Tag(330, ownedBy);
      if (markers) out += Tag(100, "AcDbEntity");
      out += Tag(8, p.layer);
      if (!p.linetype.empty()) out += Tag(6, p.linetype);
      if (p.colour != 256) out += TagI(62, p.colour);
      if (!d.r12 && p.lineweight != -1) out += TagI(370, p.lineweight);
      if (!d.r12 && p.trueColour >= 0) out += TagI(420, p.trueColour);
      if (p.invisible) out += TagI(60, 1);
      return out;
    };
    std::string handle = origin ? origin->entityHandle : "";
    std::string out = common(kind, handle, owner);
    if (kind == "LWPOLYLINE") {
      const auto vs = VerticesOf(o);
      if (markers) out += Tag(100, "AcDbPolyline");
      out += TagI(90, static_cast<long long>(vs.size())) + TagI(70, o.closed ? 1 : 0) + LwVertexTags(vs);
      return out;
    }
    if (kind == "POLYLINE") {
      const bool is3d = o.type == kVertexList3DType;
      const auto vs = VerticesOf(o);
      if (markers) out += Tag(100, is3d ? "AcDb3dPolyline" : "AcDb2dPolyline");
      out += TagI(66, 1) + Tag(10, 0.0) + Tag(20, 0.0) + Tag(30, 0.0) +
             TagI(70, (o.closed ? 1 : 0) | (is3d ? 8 : 0));
      // Vertices and the end mark belong to the polyline (where owners are written).
      const std::string parent = owner.empty() ? "" : handle;
      for (const auto& v : vs) {
        std::string vertexHandle;
        out += common("VERTEX", vertexHandle, parent);
        if (markers) out += Tag(100, "AcDbVertex") + Tag(100, is3d ? "AcDb3dPolylineVertex" : "AcDb2dVertex");
        out += Tag(10, v.x) + Tag(20, v.y) + Tag(30, v.z);
        if (v.bulge != 0) out += Tag(42, v.bulge);
        out += TagI(70, is3d ? 32 : 0);
      }
      std::string seqendHandle;
      out += common("SEQEND", seqendHandle, parent);
      return out;
    }
    static const std::map<std::string, std::vector<std::string>> kMarkers = {
        {"LINE", {"AcDbLine"}},   {"CIRCLE", {"AcDbCircle"}}, {"ARC", {"AcDbCircle", "AcDbArc"}},
        {"ELLIPSE", {"AcDbEllipse"}}, {"POINT", {"AcDbPoint"}}, {"3DFACE", {"AcDbFace"}}};
    std::vector<std::pair<int, std::string>> set;
    const int quarter = o.hRadius >= o.vRadius ? 0 : 1;
    Geometry(o, kind, origin && origin->kind == "ELLIPSE" ? origin->ellipseQuarter : quarter, set);
    auto subclass = kMarkers.at(kind);
    for (size_t k = 0; k < set.size(); ++k) {
      // ARC's angles belong to its second subclass.
      if (markers && !subclass.empty() && (k == 0 || (kind == "ARC" && set[k].first == 50))) {
        out += Tag(100, subclass.front());
        subclass.erase(subclass.begin());
      }
      out += Tag(set[k].first, set[k].second);
      if (kind == "LINE" && set[k].first == 20) out += Tag(30, 0.0);
      if (kind == "LINE" && set[k].first == 21) out += Tag(31, 0.0);
      if (kind != "LINE" && kind != "POINT" && kind != "3DFACE" && set[k].first == 20) out += Tag(30, 0.0);
      if (kind == "POINT" && o.type == kPointType && set[k].first == 20) out += Tag(30, 0.0);
    }
    return out;
  }
};

}  // namespace

std::string SaveDxf(DxfDrawing& d, const hostapp::Host& host, const std::string& marker,
                    DxfWriteStats* stats) {
  Saver s{d, host, marker, {}};
  std::unordered_map<ObjectHandle, size_t> byHandle;
  for (size_t k = 0; k < d.records.size(); ++k)
    if (d.records[k].handle != 0) byHandle[d.records[k].handle] = k;

  std::string body;
  std::vector<bool> emitted(d.records.size(), false);
  size_t next = 0;  // records before it are written or accounted for
  bool differs = false;
  auto flushTo = [&](size_t k) {
    for (; next < k; ++next) {
      if (emitted[next]) continue;
      const DxfEntityRecord& rec = d.records[next];
      if (rec.handle == 0) {
        body += RawTags(d.file, rec.span.first, rec.span.last);
        emitted[next] = true;
      }
    }
  };
  for (ObjectHandle h : host.Objects()) {
    const Object& o = host.Get(h);
    if (o.cls != 0 && host.ClassExists(o.cls) && host.ClassName(o.cls) == marker) {
      differs = true;
      continue;
    }
    auto it = byHandle.find(h);
    if (it == byHandle.end()) {
      const std::string text = s.Fresh(o, Saver::KindFor(o, nullptr, d.r12), nullptr);
      if (!text.empty()) ++s.st.created;
      body += text;
      differs = true;
      continue;
    }
    const size_t k = it->second;
    if (k < next && !emitted[k]) differs = true;  // moved backwards in the order
    flushTo(k);
    const DxfEntityRecord& rec = d.records[k];
    if (SameObject(o, rec.loaded)) {
      body += RawTags(d.file, rec.span.first, rec.span.last);
      ++s.st.unchanged;
    } else {
      body += s.Changed(rec, o);
      ++s.st.changed;
      differs = true;
    }
    emitted[k] = true;
    next = std::max(next, k + 1);
  }
  flushTo(d.records.size());
  for (size_t k = 0; k < d.records.size(); ++k)
    if (!emitted[k] && d.records[k].handle != 0) {
      ++s.st.removed;
      differs = true;
    }
  // Entities that lost their place (a later object emitted first) go last.
  for (size_t k = 0; k < d.records.size(); ++k)
    if (!emitted[k] && d.records[k].handle == 0)
      body += RawTags(d.file, d.records[k].span.first, d.records[k].span.last);

  std::vector<DxfSplice> splices;
  if (differs && d.entities) {
    const size_t firstEntity = d.records.empty() ? d.entities->end : d.records.front().span.first;
    splices.push_back({d.entities->body, d.entities->end,
                       std::string(RawTags(d.file, d.entities->body, firstEntity)) + body});
  }
  if (s.handlesMoved && d.handseedTag)
    splices.push_back({*d.handseedTag, *d.handseedTag + 1, FormatTag(d.file, 5, Hex(d.handseed))});
  if (stats) *stats = s.st;
  return WriteDxf(d.file, std::move(splices));
}

// ---- what passed through ----

namespace {

struct KindNoun {
  const char* kind;
  const char* one;
  const char* many;
};
constexpr KindNoun kKindNouns[] = {
    {"TEXT", "text", "texts"},
    {"MTEXT", "multiline text", "multiline texts"},
    {"HATCH", "hatch", "hatches"},
    {"DIMENSION", "dimension", "dimensions"},
    {"INSERT", "block reference", "block references"},
    {"SPLINE", "spline", "splines"},
    {"SOLID", "solid", "solids"},
    {"TRACE", "trace", "traces"},
    {"ATTDEF", "attribute definition", "attribute definitions"},
    {"LEADER", "leader", "leaders"},
    {"MULTILEADER", "multileader", "multileaders"},
    {"MLEADER", "multileader", "multileaders"},
    {"MLINE", "multiline", "multilines"},
    {"XLINE", "construction line", "construction lines"},
    {"RAY", "ray", "rays"},
    {"VIEWPORT", "viewport", "viewports"},
    {"3DSOLID", "3D solid", "3D solids"},
    {"REGION", "region", "regions"},
    {"BODY", "body", "bodies"},
    {"MESH", "mesh", "meshes"},
    {"IMAGE", "image", "images"},
    {"WIPEOUT", "wipeout", "wipeouts"},
    {"TOLERANCE", "tolerance frame", "tolerance frames"},
    {"HELIX", "helix", "helices"},
    {"SHAPE", "shape", "shapes"},
    {"LINE", "line", "lines"},
    {"ARC", "arc", "arcs"},
    {"CIRCLE", "circle", "circles"},
    {"ELLIPSE", "ellipse", "ellipses"},
    {"LWPOLYLINE", "polyline", "polylines"},
    {"POLYLINE", "polyline", "polylines"},
    {"POINT", "point", "points"},
    {"3DFACE", "3D face", "3D faces"},
};

PassedKind Noun(const DxfEntityRecord& rec) {
  for (const KindNoun& k : kKindNouns)
    if (rec.kind == k.kind) return {k.one, k.many, 0};
  // The kind's own name, quoted short: it comes from the file.
  const std::string name = Shown(rec.kind, 30);
  return {name + " entity", name + " entities", 0};
}

PassedKind Describe(const DxfEntityRecord& rec) {
  PassedKind n = Noun(rec);
  auto with = [&](const char* suffix) {
    n.one += suffix, n.many += suffix;
    return n;
  };
  switch (rec.passReason) {
    case PassReason::kPaperSpace: return with(" in paper space");
    case PassReason::kOffPlane: return with(" off the XY plane");
    case PassReason::kPolygonMesh: return {"polygon mesh", "polygon meshes", 0};
    case PassReason::kPolyfaceMesh: return {"polyface mesh", "polyface meshes", 0};
    case PassReason::kFitted: return {"curve-fitted polyline", "curve-fitted polylines", 0};
    case PassReason::kRotatedEllipse: return {"rotated ellipse", "rotated ellipses", 0};
    case PassReason::kMalformed: return with(" without usable geometry");
    case PassReason::kTooManyVertices: return with(" of over 32,767 vertices");
    default: return n;
  }
}

}  // namespace

std::vector<PassedKind> PassedThrough(const DxfDrawing& d) {
  std::vector<PassedKind> out;
  for (const DxfEntityRecord& rec : d.records) {
    if (rec.handle != 0) continue;
    PassedKind k = Describe(rec);
    auto it = std::find_if(out.begin(), out.end(), [&](const PassedKind& o) { return o.many == k.many; });
    if (it == out.end()) it = out.insert(out.end(), std::move(k));
    ++it->count;
  }
  return out;
}

}  // namespace drawclean
