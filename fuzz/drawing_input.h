// The fuzz input format, shared by the fuzzer and the tests that replay its
// corpus: the input bytes become a drawing, the options and the host's faults.
//
// Input layout, read front to back (bytes past the end read as 0):
//   9 option flag bytes, tolerance 1, tolerance 2 (coordinates, see Coord),
//   fault bits, world-scale byte, count of missing routines (its upper bits
//   place new objects) and their indices, class count, then objects until
//   the input ends.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fuzz/run_audit.h"
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
  constexpr hostapp::Host::NewObjectPlace kPlaces[] = {hostapp::Host::NewObjectPlace::kBeforeVisited,
                                                       hostapp::Host::NewObjectPlace::kAfterVisited,
                                                       hostapp::Host::NewObjectPlace::kAtEnd};
  host.settings.newObjects = kPlaces[(missingByte >> 2) % 3];
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

using Options = uint8_t[26];

// Builds the drawing, options and faults that the input describes on host.
// Building the drawing calls no routine, so the faults are in force at once.
inline void Decode(const uint8_t* data, size_t size, hostapp::Host& host, Options& options,
                   runaudit::RunFacts& facts) {
  Reader in(data, size);
  std::memset(options, 0, sizeof options);
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
  if (uint8_t* block = host.SettingsBlock()) std::memcpy(block, options, sizeof options);
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
