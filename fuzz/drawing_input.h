// The fuzz input format, shared by the fuzzer and the tests that replay its
// corpus: the input bytes become a drawing, the options and the host's faults.
//
// Input layout, read front to back (bytes past the end read as 0):
//   9 option flag bytes, tolerance 1, tolerance 2 (coordinates, see Coord),
//   fault bits, world-scale byte, count of missing routines (its upper bits
//   place new objects) and their indices, class count, then objects until
//   the input ends. A first byte of noisy::kMagic selects the noisy
//   drawings instead (see there).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fuzz/run_audit.h"
#include "hostapp/builders.h"
#include "hostapp/host.h"
#include "hostapp/objects.h"

namespace drawinginput {

using hostapp::Object;

constexpr size_t kMaxObjects = 48;
// Long vertex lists are generated, not read, so a few bytes make hundreds of
// vertices; the cap keeps one run well under a second (vertex reduction
// rereads a straight run quadratically per anchor).
constexpr int kMaxGeneratedVertices = 400;
constexpr int kMaxListedVertices = 24;
constexpr size_t kTolerance1Offset = 10;
constexpr size_t kTolerance2Offset = 18;

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool AtEnd() const { return pos_ >= size_; }
  uint8_t U8() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t U16() {
    const uint8_t low = U8();  // operands of | may be read in either order
    return static_cast<uint16_t>(low | (U8() << 8));
  }
  int32_t I32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t{U8()} << (8 * i);
    return static_cast<int32_t>(v);
  }
  double F64() {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= uint64_t{U8()} << (8 * i);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }

  // Mostly small integers, so that ends meet and copies repeat; then the
  // values that break arithmetic; then any double at all.
  double Coord() {
    static const double kSpecial[] = {
        0.0, -0.0, 0.005, 0.01, -0.01, 1e-13, 0.5, 1.0 / 3.0, 10.004, 100.0,
        std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::denorm_min(),
        std::numeric_limits<double>::min(), 1e-310, 1e15, 1e300, -1e300,
        std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(),
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
        180.0, 140.0, 140.5, 360.0, -90.0};
    constexpr int kSpecialCount = sizeof kSpecial / sizeof kSpecial[0];
    const uint8_t c = U8();
    if (c < 160) return static_cast<double>(c % 32) - 16.0;
    if (c < 240) return kSpecial[(c - 160) % kSpecialCount];
    return F64();
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// The kinds the passes read, and one raw 16-bit code for everything else.
constexpr int16_t kTypes[] = {2, 2, 2, 5, 5, 21, 21, 6, 6, 25, 17, 9, 15, 10, 3, 4, 7};
constexpr int kTypeCount = sizeof kTypes / sizeof kTypes[0];

inline void ReadAttributes(Reader& in, hostapp::Host& host, Object& o) {
  // One bit per attribute, so that most neighbours match and join.
  const uint8_t a = in.U8();
  o.attr.wordA = a & 1;
  o.attr.wordB = (a >> 1) & 1;
  o.attr.longAttr = (a >> 2) & 1;
  o.attr.flags[0] = ((a >> 3) & 1) ? host.True() : 0;
  o.attr.record[0] = (a >> 4) & 1;
  o.attr.longB = (a >> 5) & 1;
  o.attr.longC = (a >> 6) & 1;
  o.attr.group = (a >> 7) & 1;
}

inline void ReadVertexList(Reader& in, Object& o, bool threeD) {
  const uint8_t code = in.U8();
  o.closed = (code & 0x80) != 0;
  const uint8_t shape = code & 0x7f;
  if (shape >= 120) {
    // Many vertices along a zigzag: step, amplitude and period from the input.
    const int n = in.U16() % (kMaxGeneratedVertices + 1);
    const double x0 = in.Coord(), y0 = in.Coord(), step = in.Coord(), amp = in.Coord();
    const int period = 1 + in.U8() % 4;
    for (int i = 0; i < n; ++i) {
      const double x = x0 + step * i, y = y0 + amp * (i % period);
      if (threeD)
        o.vertices3d.push_back(HostWorldPt3D{x, y, 0.0});
      else
        o.vertices.push_back(hostapp::Vertex{HostWorldPt{y, x}, 0, 0.0});
    }
    return;
  }
  const int n = shape % (kMaxListedVertices + 1);
  for (int i = 0; i < n; ++i) {
    const double x = in.Coord(), y = in.Coord();
    if (threeD) {
      o.vertices3d.push_back(HostWorldPt3D{x, y, in.Coord()});
      continue;
    }
    hostapp::Vertex v{HostWorldPt{y, x}, 0, 0.0};
    const uint8_t t = in.U8();
    if (t >= 200) {
      v.type = (t % 8 == 0) ? static_cast<int32_t>(in.I32()) : t % 5;
      v.radius = in.Coord();
    }
    o.vertices.push_back(v);
  }
}

inline Object ReadObject(Reader& in, hostapp::Host& host, const std::vector<ClassId>& classes) {
  Object o;
  const uint8_t k = in.U8();
  o.type = (k % (kTypeCount + 1) == kTypeCount) ? static_cast<int16_t>(in.U16()) : kTypes[k % (kTypeCount + 1)];
  o.cls = classes[in.U8() % classes.size()];
  ReadAttributes(in, host, o);
  switch (o.type) {
    case 2:
      o.first = HostWorldPt{in.Coord(), in.Coord()};
      o.second = HostWorldPt{in.Coord(), in.Coord()};
      break;
    case 6: {
      o.center = HostWorldPt{in.Coord(), in.Coord()};
      o.hRadius = in.Coord();
      o.vRadius = (in.U8() & 3) == 0 ? in.Coord() : o.hRadius;
      o.startDeg = in.Coord() * 15.0;
      o.sweepDeg = in.Coord() * 15.0;
      break;
    }
    case 5:
    case 21:
      ReadVertexList(in, o, false);
      break;
    case 25:
      ReadVertexList(in, o, true);
      break;
    case 17:
      o.point = HostWorldPt{in.Coord(), in.Coord()};
      break;
    case 9:
      o.point3d = HostWorldPt3D{in.Coord(), in.Coord(), in.Coord()};
      break;
    case 15:
      for (HostWorldPt3D& p : o.points3d) p = HostWorldPt3D{in.Coord(), in.Coord(), in.Coord()};
      break;
    default:
      o.bounds = HostWorldRect{in.Coord(), in.Coord(), in.Coord(), in.Coord()};
      break;
  }
  if (o.type == 10) o.attr.longB = in.U8() & 1;
  return o;
}

constexpr hostapp::Host::NewObjectPlace kNewObjectPlaces[] = {hostapp::Host::NewObjectPlace::kBeforeVisited,
                                                              hostapp::Host::NewObjectPlace::kAfterVisited,
                                                              hostapp::Host::NewObjectPlace::kAtEnd};

inline void ApplyFaults(Reader& in, hostapp::Host& host, runaudit::RunFacts& facts) {
  const uint8_t bits = in.U8();
  host.settings.createLineFails = bits & 0x01;
  host.settings.createPolylineFails = bits & 0x02;
  host.settings.convertToPolylineFails = bits & 0x04;
  host.settings.convertToType5Fails = bits & 0x08;
  host.settings.addClassFails = (bits & 0x30) == 0x30;  // rarer: it stops every pass
  host.settings.convertInPlace = !(bits & 0x40);
  host.settings.trueValue = (bits & 0x80) ? 2 : 1;
  const uint8_t scale = in.U8();
  host.settings.worldScale = scale < 200 ? 1.0 : in.Coord();
  host.settings.newPolylineType = (scale & 1) ? 21 : 5;

  const uint8_t missingByte = in.U8();
  const int missing = missingByte % 4;
  // Where objects created inside a traversal go: bits the count leaves free.
  host.settings.newObjects = kNewObjectPlaces[(missingByte >> 2) % 3];
  constexpr size_t kRoutines = sizeof runaudit::kHostRoutines / sizeof runaudit::kHostRoutines[0];
  for (int i = 0; i < missing; ++i) {
    const int32_t sel = runaudit::kHostRoutines[in.U8() % kRoutines].selector;
    host.SetMissing(sel);
    ++facts.missingRoutines;
    if (sel == kSelDeleteClass) facts.deleteClassMissing = true;
    if (sel == kSelFreeHandle) facts.freeHandleMissing = true;
    if (sel == kSelGetObjectType) facts.objectTypeMissing = true;
  }
}

// The whole settings record: the 26 option bytes, and the block of options
// beyond them (bytes 36 to 67), handed on only when it carries its tag.
using Options = uint8_t[kSettingsRecordSize];

// ---- noisy drawings ----
//
// A first byte of noisy::kMagic turns the rest of the input into structured
// drawings whose ends nearly meet: a few bytes make a line cut into pieces,
// a circle nearly closed, a copy nudged off its original, where the passes
// must tell what is one and the same. Option flag 0 reads that byte as the
// raw value 255, which no seed uses. No host fault is in force.
//
// Layout after the magic: a set-up byte (bits 0-1 point tolerance, 2-3 size
// tolerance, 4-5 where new objects go, 6 conversions give new handles, 7
// booleans answered as 2), two words whose common bits 0-8 switch passes off
// (the first word's bit 15 makes new vertex lists type 21), then groups until
// the input ends: a kind byte (low three bits the kind, the rest its
// variants) and the kind's own bytes.
//
// A first byte of noisy::kMagicWithOptions reads one byte more before the
// set-up byte: the options beyond the flags, bit k switching on record byte
// 40 + k (near, edges, repeat, then ignoring layer, colour, lineweight,
// linetype). Option flag 0 would read it as the raw value 254.
namespace noisy {

constexpr uint8_t kMagic = 0xFF;
constexpr uint8_t kMagicWithOptions = 0xFE;
constexpr double kTolerances[] = {0.001, 0.01, 0.1, 1.0};
// Tiny to huge, so that radii and lengths of 1e-6 and 1e6 both appear.
constexpr double kSizes[] = {1e-6, 1e-3, 0.5, 1.0, 2.5, 10.0, 1e3, 1e6};
// Mostly near the origin; sometimes far out, where the noise nears the rounding.
constexpr double kOffsets[] = {0, 0, 0, 0, 100, -1e3, 1e6, -1e6};
// How far ends that should meet are nudged apart (times 1 to 2).
constexpr double kNoise[] = {5e-5, 1e-5, 1e-6, 1e-7, 1e-8, 1e-9, 1e-10, 1e-11, 1e-12};
// How far a near-full arc misses one turn, in degrees.
constexpr double kTurnMiss[] = {1e-6, 1e-7, 1e-8, 1e-9, 1e-10, 1e-11, 1e-12};
// Sweeps whose ends coincide, vanish, run backwards or nearly close.
constexpr double kOddSweeps[] = {0.0, -0.0, 360.0, -360.0, 720.0, -90.0, -270.0, 1e-9, -1e-9, 180.0, -180.0,
                                 359.999999};
// Ellipses clearly and barely so.
constexpr double kAxisRatios[] = {0.5, 2.0, 1.0 + 1e-9, 0.999};
// Arc-vertex radii as shares of the step between vertices.
constexpr double kRadiusShares[] = {0.25, 0.5, 1.0, 2.0};
constexpr double kDegToRad = 3.14159265358979323846 / 180.0;

// The order, direction and nudges of pieces, all drawn from one input word
// (splitmix64), so that two bytes reshuffle a whole group.
class Choices {
 public:
  explicit Choices(uint64_t seed) : state_(seed) {}
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  double Trit() { return static_cast<double>(Below(3)) - 1.0; }  // -1, 0 or 1

  template <typename T>
  void Shuffle(std::vector<T>& v) {
    for (size_t i = v.size(); i > 1; --i) std::swap(v[i - 1], v[static_cast<size_t>(Below(static_cast<int>(i)))]);
  }

 private:
  uint64_t Next() {
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  uint64_t state_;
};

struct XY {
  double x, y;
};

class Generator {
 public:
  Generator(Reader& in, std::vector<Object>& out) : in_(in), out_(out) {}
  bool Full() const { return out_.size() >= kMaxObjects; }

  void Group() {
    const uint8_t k = in_.U8();
    const uint8_t variant = k >> 3;
    switch (k & 7) {
      case 0: PiecesOfALine(variant); break;
      case 1: PiecesOfAnEllipse(variant); break;
      case 2: NearFullArc(variant); break;
      case 3: OddArc(variant); break;
      case 4: ArcVertexList(variant); break;
      case 5: NudgedCopy(variant); break;
      case 6: ChainedLine(variant); break;
      default: StraightRun(variant); break;
    }
  }

 private:
  void Add(const Object& o) {
    if (!Full()) out_.push_back(o);
  }

  double Noise() {
    const uint8_t b = in_.U8();
    return kNoise[b % 9] * (1.0 + (b >> 4) / 16.0);
  }
  double Size() { return kSizes[in_.U8() % 8]; }
  double SmallInt() { return static_cast<double>(in_.U8() % 32) - 16.0; }
  XY Place() {
    const double offset = kOffsets[in_.U8() % 8];
    const double x = offset + SmallInt();
    return XY{x, offset + SmallInt()};
  }
  // Degrees: along an axis or a diagonal, or any direction.
  double Direction() {
    const uint8_t b = in_.U8();
    return b < 128 ? 45.0 * (b % 8) : (b - 128) * (360.0 / 128);
  }
  double SecondRadius(bool elliptical, double r) { return elliptical ? r * kAxisRatios[in_.U8() % 4] : r; }
  Choices Seeded() { return Choices(in_.U16()); }

  static XY At(XY a, XY b, double t) { return XY{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; }
  static XY Nudged(XY p, double noise, Choices& c) {
    const double dx = noise * c.Trit();
    return XY{p.x + dx, p.y + noise * c.Trit()};
  }

  // A straight piece as a line (form 0), a two-vertex list (1) or a 3D list (2).
  static Object Straight(XY a, XY b, int form, Choices& c) {
    if (form == 1) return hostapp::Polyline({{a.x, a.y}, {b.x, b.y}}, false, c.Below(2) ? 21 : 5);
    if (form == 2) {
      const double z = c.Below(3);
      return hostapp::Poly3D({{a.x, a.y, z}, {b.x, b.y, z + c.Below(2)}});
    }
    return hostapp::Line(a.x, a.y, b.x, b.y);
  }

  static XY EndOf(const Object& o, bool start) {
    switch (o.type) {
      case 2: {
        const HostWorldPt& p = start ? o.first : o.second;
        return XY{p.x, p.y};
      }
      case 6: {
        const double t = (start ? o.startDeg : o.startDeg + o.sweepDeg) * kDegToRad;
        return XY{o.center.x + o.hRadius * std::cos(t), o.center.y + o.vRadius * std::sin(t)};
      }
      case 5:
      case 21:
        if (o.vertices.empty()) break;
        return start ? XY{o.vertices.front().p.x, o.vertices.front().p.y}
                     : XY{o.vertices.back().p.x, o.vertices.back().p.y};
      case 25:
        if (o.vertices3d.empty()) break;
        return start ? XY{o.vertices3d.front().x, o.vertices3d.front().y}
                     : XY{o.vertices3d.back().x, o.vertices3d.back().y};
      default:
        break;
    }
    return XY{0, 0};
  }

  // One line cut into pieces, at even or random places, each nudged at its
  // ends, some reaching over a neighbour, turned either way and shuffled.
  void PiecesOfALine(uint8_t variant) {
    const XY a = Place();
    const double size = Size();
    const double length = size * (1 + in_.U8() % 8), dir = Direction() * kDegToRad;
    const XY b{a.x + length * std::cos(dir), a.y + length * std::sin(dir)};
    const int n = 2 + in_.U8() % 7;
    const double noise = Noise();
    Choices c = Seeded();
    std::vector<double> cuts = {0.0, 1.0};
    for (int i = 1; i < n; ++i) cuts.push_back((variant & 1) ? (1 + c.Below(999)) / 1000.0 : double(i) / n);
    std::sort(cuts.begin(), cuts.end());
    const int forms = 1 + ((variant >> 1) & 3) % 3;  // lines; also vertex lists; also 3D lists
    std::vector<Object> pieces;
    for (int i = 0; i < n; ++i) {
      double t0 = cuts[size_t(i)], t1 = cuts[size_t(i) + 1];
      const double over = (t1 - t0) / 4;
      if (c.Below(4) == 0) t0 = std::max(0.0, t0 - over);
      if (c.Below(4) == 0) t1 = std::min(1.0, t1 + over);
      XY p = Nudged(At(a, b, t0), noise, c), q = Nudged(At(a, b, t1), noise, c);
      if (c.Below(2)) std::swap(p, q);
      pieces.push_back(Straight(p, q, c.Below(forms), c));
    }
    c.Shuffle(pieces);
    for (const Object& o : pieces) Add(o);
  }

  // A circle or an ellipse cut into arcs whose ends are nudged by a noise
  // in degrees, some of them running backwards, shuffled. One piece is a
  // near-full turn.
  void PiecesOfAnEllipse(uint8_t variant) {
    const XY o = Place();
    const double rh = Size(), rv = SecondRadius(variant & 1, rh);
    const int n = 1 + in_.U8() % 6;
    const double noise = Noise(), start = Direction();
    Choices c = Seeded();
    std::vector<double> cuts = {0.0, 360.0};
    for (int i = 1; i < n; ++i) cuts.push_back((variant & 2) ? c.Below(3600) / 10.0 : 360.0 * i / n);
    std::sort(cuts.begin(), cuts.end());
    std::vector<Object> pieces;
    for (int i = 0; i < n; ++i) {
      const double from = start + cuts[size_t(i)] + noise * c.Trit();
      const double sweep = start + cuts[size_t(i) + 1] + noise * c.Trit() - from;
      pieces.push_back(c.Below(2) ? hostapp::EllipticArc(o.x, o.y, rh, rv, from + sweep, -sweep)
                                  : hostapp::EllipticArc(o.x, o.y, rh, rv, from, sweep));
    }
    c.Shuffle(pieces);
    for (const Object& p : pieces) Add(p);
  }

  // One turn, short of it or past it by 1e-12 to 1e-6 degrees.
  void NearFullArc(uint8_t variant) {
    const XY o = Place();
    const double rh = Size(), rv = SecondRadius(variant & 1, rh), start = Direction();
    const double miss = kTurnMiss[in_.U8() % 7];
    const double turn = (variant & 2) ? 360.0 + miss : 360.0 - miss;
    Add(hostapp::EllipticArc(o.x, o.y, rh, rv, start, (variant & 4) ? -turn : turn));
  }

  void OddArc(uint8_t variant) {
    const XY o = Place();
    const double rh = Size(), rv = SecondRadius(variant & 1, rh), start = Direction();
    const double sweep = kOddSweeps[in_.U8() % (sizeof kOddSweeps / sizeof kOddSweeps[0])];
    Add(hostapp::EllipticArc(o.x, o.y, rh, rv, start, sweep));
  }

  // Steps along axes and diagonals, some corners arc vertices with a radius
  // tied to the step or tiny or huge, every vertex nudged.
  void ArcVertexList(uint8_t variant) {
    static const int kSteps[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    const int n = 2 + in_.U8() % 10;
    XY p = Place();
    const double step = Size(), noise = Noise();
    Choices c = Seeded();
    std::vector<hostapp::V> vs;
    for (int i = 0; i < n; ++i) {
      const XY q = Nudged(p, noise, c);
      hostapp::V v{q.x, q.y};
      if (i > 0 && c.Below(3) == 0) {
        v.type = 3;
        v.radius = c.Below(4) == 0 ? kSizes[c.Below(8)] : step * kRadiusShares[c.Below(4)];
      }
      vs.push_back(v);
      const int* d = kSteps[c.Below(8)];
      p = XY{p.x + d[0] * step, p.y + d[1] * step};
    }
    Add(hostapp::Polyline(vs, variant & 1, (variant & 2) ? 21 : 5));
  }

  // A copy of an earlier object, every coordinate nudged, maybe reversed.
  void NudgedCopy(uint8_t variant) {
    const uint8_t pick = in_.U8();
    const double noise = Noise();
    Choices c = Seeded();
    if (out_.empty()) return;
    Object o = out_[pick % out_.size()];
    const auto nudge = [&](double& v) { v += noise * c.Trit(); };
    const bool reverse = variant & 1;
    switch (o.type) {
      case 2:
        nudge(o.first.x), nudge(o.first.y), nudge(o.second.x), nudge(o.second.y);
        if (reverse) std::swap(o.first, o.second);
        break;
      case 6:
        nudge(o.center.x), nudge(o.center.y), nudge(o.startDeg), nudge(o.sweepDeg);
        if (reverse) o.startDeg += o.sweepDeg, o.sweepDeg = -o.sweepDeg;
        break;
      case 5:
      case 21:
        for (hostapp::Vertex& v : o.vertices) nudge(v.p.x), nudge(v.p.y);
        if (reverse) std::reverse(o.vertices.begin(), o.vertices.end());
        break;
      default:
        for (HostWorldPt3D& v : o.vertices3d) nudge(v.x), nudge(v.y);
        if (reverse) std::reverse(o.vertices3d.begin(), o.vertices3d.end());
        break;
    }
    Add(o);
  }

  // A line from an end of the last object, nudged off it.
  void ChainedLine(uint8_t variant) {
    const double noise = Noise(), size = Size();
    const double length = size * (1 + in_.U8() % 4), dir = Direction() * kDegToRad;
    Choices c = Seeded();
    const XY a = Nudged(out_.empty() ? XY{0, 0} : EndOf(out_.back(), variant & 1), noise, c);
    const XY b{a.x + length * std::cos(dir), a.y + length * std::sin(dir)};
    Add(Straight(a, b, ((variant >> 1) & 3) % 3, c));
  }

  // Many vertices along one line, each nudged across it.
  void StraightRun(uint8_t variant) {
    const XY a = Place();
    const double step = Size(), dir = Direction() * kDegToRad;
    const int n = 3 + in_.U8() % 64;
    const double noise = Noise();
    Choices c = Seeded();
    std::vector<hostapp::V> vs;
    for (int i = 0; i < n; ++i) {
      const double along = step * i, across = noise * c.Trit();
      vs.push_back({a.x + along * std::cos(dir) - across * std::sin(dir),
                    a.y + along * std::sin(dir) + across * std::cos(dir)});
    }
    Add(hostapp::Polyline(vs, false, (variant & 1) ? 21 : 5));
  }

  Reader& in_;
  std::vector<Object>& out_;
};

inline void Decode(Reader& in, hostapp::Host& host, Options& options) {
  const uint8_t setup = in.U8();
  const uint16_t a = in.U16(), b = in.U16();
  for (int f = 0; f < runaudit::kOptionFlags; ++f) options[f] = ((a & b) >> f) & 1 ? 0 : 1;
  const double tolerance1 = kTolerances[setup & 3], tolerance2 = kTolerances[(setup >> 2) & 3];
  std::memcpy(options + kTolerance1Offset, &tolerance1, sizeof tolerance1);
  std::memcpy(options + kTolerance2Offset, &tolerance2, sizeof tolerance2);
  host.settings.newObjects = kNewObjectPlaces[((setup >> 4) & 3) % 3];
  host.settings.convertInPlace = !(setup & 0x40);
  host.settings.trueValue = (setup & 0x80) ? 2 : 1;
  host.settings.newPolylineType = (a & 0x8000) ? 21 : 5;
  std::vector<Object> objects;
  Generator generator(in, objects);
  while (!in.AtEnd() && !generator.Full()) generator.Group();
  for (const Object& o : objects) host.Add(o);
}

}  // namespace noisy

// Builds the drawing, options and faults that the input describes on host.
// Building the drawing calls no routine, so the faults are in force at once.
inline void Decode(const uint8_t* data, size_t size, hostapp::Host& host, Options& options,
                   runaudit::RunFacts& facts) {
  Reader in(data, size);
  std::memset(options, 0, sizeof options);
  if (size > 0 && (data[0] == noisy::kMagic || data[0] == noisy::kMagicWithOptions)) {
    if (in.U8() == noisy::kMagicWithOptions) {
      const uint8_t extra = in.U8();
      TagExtraBlock(options);
      for (int k = 0; k < kExtraOptionCount; ++k) options[kExtraNear + k] = (extra >> k) & 1;
    }
    noisy::Decode(in, host, options);
    return;
  }
  for (int f = 0; f < runaudit::kOptionFlags; ++f) {
    const uint8_t b = in.U8();
    options[f] = b < 128 ? 0 : (b < 250 ? 1 : b);
  }
  const double tolerance1 = in.Coord(), tolerance2 = in.Coord();
  std::memcpy(options + kTolerance1Offset, &tolerance1, sizeof tolerance1);
  std::memcpy(options + kTolerance2Offset, &tolerance2, sizeof tolerance2);

  ApplyFaults(in, host, facts);

  std::vector<ClassId> classes = {0};
  const int classCount = in.U8() % 4;
  for (int c = 0; c < classCount; ++c) {
    const ClassId id = host.ClassNamed("Layer " + std::to_string(c + 1));
    classes.push_back(id);
    facts.drawingClasses.insert(id);
  }
  for (size_t i = 0; i < kMaxObjects && !in.AtEnd(); ++i) host.Add(ReadObject(in, host, classes));
}

// Actions 1, 3 and 2 with `options` in the settings block; facts.result and
// facts.flags tell what the run answered and accepted.
inline void RunCommand(hostapp::Host& host, const Options& options, runaudit::RunFacts& facts) {
  host.SendAction(kActionSetUp);
  if (uint8_t* block = host.SettingsBlock()) {
    std::memcpy(block, options, 26);
    if (ExtraBlockTagged(options))
      std::memcpy(block + kExtraBlockOffset, options + kExtraBlockOffset, kExtraBlockSize);
  }
  facts.result = host.SendAction(kActionRun);
  // The options the run accepted: the dialog may have changed them.
  const uint8_t* accepted = host.SettingsBlock() ? host.SettingsBlock() : options;
  std::memcpy(facts.flags, accepted, runaudit::kOptionFlags);
  std::memcpy(&facts.tolerance1, accepted + kTolerance1Offset, sizeof facts.tolerance1);
  std::memcpy(&facts.tolerance2, accepted + kTolerance2Offset, sizeof facts.tolerance2);
  host.SendAction(kActionTearDown);
  // With FreeHandle missing the block stays; the host must not tear it down again.
  host.userData = nullptr;
}

}  // namespace drawinginput
