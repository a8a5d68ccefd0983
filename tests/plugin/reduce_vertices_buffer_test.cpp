// Vertex reduction read once into memory against the written way that reads
// every vertex through the host for each window: the same drawing, vertex for
// vertex, and host calls linear in the length of a straight run.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "hostapp/builders.h"
#include "hostapp/host.h"
#include "support/plugin_fixture.h"

using hostapp::Object;
using hostapp::V;

namespace {

constexpr int kVertexPass = 5;
constexpr int kReducePass = 8;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
// Up to this many vertices a case keeps the call log and compares calls too.
constexpr size_t kLoggedVertices = 400;

// Deterministic jitter in [-amplitude, amplitude].
struct Jitter {
  uint32_t state;
  double operator()(double amplitude) {
    state = state * 1664525u + 1013904223u;
    return amplitude * ((state >> 8) / double(1u << 24) * 2.0 - 1.0);
  }
};

// A run along x of n vertices, each within `amplitude` of y = 0.
std::vector<V> Jittered(int n, double amplitude, uint32_t seed) {
  Jitter jitter{seed};
  std::vector<V> vs;
  for (int i = 0; i < n; ++i) vs.push_back(V{double(i), jitter(amplitude)});
  return vs;
}

// Each `every`-th vertex replaced by f(index, vertex).
std::vector<V> Every(std::vector<V> vs, int every, const std::function<V(int, V)>& f) {
  for (int i = every; i + 1 < int(vs.size()); i += every) vs[i] = f(i, vs[i]);
  return vs;
}

V Corner(int, V v) { return V{v.x, 1.0}; }
V ArcVertex(int, V v) { return V{v.x, v.y, 3, 2.0}; }
V TypeOfIndex(int i, V v) { return V{v.x, v.y, i % 5}; }
V Spike(int i, V v) { return i % 2 ? V{v.x, 3.0} : V{v.x - 5.0, v.y}; }

std::vector<V> Curve(int n, double radius) {
  std::vector<V> vs;
  for (int i = 0; i < n; ++i)
    vs.push_back(V{radius * std::sin(i / radius), radius * std::cos(i / radius)});
  return vs;
}

// A zigzag well off the tolerance, with a corner flattened every 98 vertices
// and the last `tail` vertices a run that collapses to the end.
std::vector<V> ZigzagWithTail(int n, int tail) {
  std::vector<V> vs = Jittered(n, 0.004, 7);
  for (int i = 2; i < n - tail; i += 2)
    if (i % 98 != 0) vs[i].y = 1.0;
  return vs;
}

struct HostQuirk {
  int32_t missing = -1;     // a selector the host does not provide
  bool forceCount = false;  // GetVertexCount answers `count` for every object
  int16_t count = 0;
};

struct BufferCase {
  BufferCase(const char* n, std::vector<Object> d, double t = 0.01, HostQuirk q = {})
      : name(n), drawing(std::move(d)), tolerance(t), quirk(q) {}
  const char* name;
  std::vector<Object> drawing;
  double tolerance;
  HostQuirk quirk;
  friend void PrintTo(const BufferCase& c, std::ostream* os) { *os << c.name; }
};

const HostQuirk* gQuirk = nullptr;
int16_t ForcedCount(ObjectHandle) { return gQuirk->count; }
void* QuirkDispatch(int32_t selector) {
  if (selector == kSelGetVertexCount && gQuirk->forceCount)
    return reinterpret_cast<void*>(&ForcedCount);
  return hostapp::Dispatch(selector);
}

struct Outcome {
  std::vector<Object> drawing;
  std::vector<std::string> calls;  // of the reduce traversal, when logged
};

// Runs the command with the reduce pass (and the vertex pass too, if asked)
// through the library at `path`, in a host of its own.
Outcome RunThrough(const char* path, const std::vector<Object>& drawing, bool vertexPass,
                   double tolerance, const HostQuirk& quirk, bool log) {
  hostapp::Host host;
  std::string error;
  EXPECT_TRUE(host.LoadPlugin(path, &error)) << error;
  host.settings.logCalls = log;
  if (quirk.missing >= 0) host.SetMissing(quirk.missing);
  for (const Object& o : drawing) host.Add(o);

  host.SendAction(kActionSetUp);
  uint8_t* block = host.SettingsBlock();
  EXPECT_NE(block, nullptr);
  if (block == nullptr) return {};
  Options options = OnlyPass(kReducePass);
  options.flags[kVertexPass] = vertexPass ? 1 : 0;
  options.tolerance1 = tolerance;
  std::memcpy(block, options.flags, sizeof options.flags);
  // The tolerances sit at bytes 10 and 18 of the settings block.
  std::memcpy(block + 10, &options.tolerance1, sizeof options.tolerance1);
  std::memcpy(block + 18, &options.tolerance2, sizeof options.tolerance2);
  gQuirk = &quirk;
  HostDispatcher dispatcher = &QuirkDispatch;
  EXPECT_EQ(host.CallMain(kActionRun, 0, &host.userData, &dispatcher), 0);
  gQuirk = nullptr;
  host.SendAction(kActionTearDown);
  host.userData = nullptr;
  for (const std::string& v : host.Violations()) ADD_FAILURE() << "host contract: " << v;

  Outcome out;
  for (ObjectHandle h : host.Objects()) out.drawing.push_back(host.Get(h));
  if (log) out.calls = TraversalCalls(host, vertexPass ? 1 : 0);
  return out;
}

std::vector<std::string> WithoutReads(const std::vector<std::string>& calls) {
  std::vector<std::string> out;
  for (const std::string& c : calls)
    if (c.rfind("GetVertex(", 0) != 0) out.push_back(c);
  return out;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Equal to the bit, NaN included; the rest as the fixture compares objects.
bool Identical(Object a, Object b) {
  if (a.vertices.size() != b.vertices.size()) return false;
  for (size_t i = 0; i < a.vertices.size(); ++i) {
    const hostapp::Vertex &u = a.vertices[i], &v = b.vertices[i];
    if (!SameBits(u.p.x, v.p.x) || !SameBits(u.p.y, v.p.y) || u.type != v.type ||
        !SameBits(u.radius, v.radius))
      return false;
  }
  a.vertices.clear();
  b.vertices.clear();
  return SameObject(a, b);
}

class BothWays : public ::testing::TestWithParam<std::tuple<BufferCase, bool>> {};

TEST_P(BothWays, IdenticalVertices) {
  const BufferCase& c = std::get<0>(GetParam());
  const bool vertexPass = std::get<1>(GetParam());
  size_t vertices = 0;
  for (const Object& o : c.drawing) vertices += o.vertices.size();
  const bool log = vertices <= kLoggedVertices;

  const Outcome large =
      RunThrough(CLEANUP_LARGE_WAYS_PATH, c.drawing, vertexPass, c.tolerance, c.quirk, log);
  const Outcome written =
      RunThrough(CLEANUP_WRITTEN_WAYS_PATH, c.drawing, vertexPass, c.tolerance, c.quirk, log);
  ASSERT_EQ(large.drawing.size(), written.drawing.size());
  for (size_t i = 0; i < large.drawing.size(); ++i)
    EXPECT_TRUE(Identical(large.drawing[i], written.drawing[i]))
        << "object " << i << "\n  in memory: " << Describe(large.drawing[i])
        << "\n  written:   " << Describe(written.drawing[i]);
  // Only the vertex reads may differ: deletions, counts and resets match.
  EXPECT_EQ(WithoutReads(large.calls), WithoutReads(written.calls));
}

std::vector<BufferCase> Cases() {
  const auto poly = [](std::vector<V> vs, int16_t type = 5) {
    return hostapp::Polyline(vs, false, type);
  };
  std::vector<V> nan = Jittered(300, 0.004, 3);
  nan[40] = V{kNaN, 0};
  nan[41] = V{41, kNaN};
  nan[120] = V{kInf, 0};
  nan[121] = V{122, -kInf};
  nan[200] = V{kNaN, kNaN};
  const std::vector<V> tiny = {{0, 0}, {1, 0.009}, {2, 0}};
  std::vector<V> coincident = Jittered(60, 0.004, 5);
  for (int i = 10; i < 60; i += 10) coincident[i] = coincident[0];
  // Three vertices past the count, off the line, come into view with the
  // first deletion: at the start, a run to (9, 0) and a rise from there,
  // which only an anchor read again after the run follows.
  std::vector<V> past = ZigzagWithTail(32770, 200);
  const std::vector<V> jitter = Jittered(14, 0.004, 7);
  for (int i = 0; i < 14; ++i) past[i].y = jitter[i].y + (i < 10 ? 0 : i - 9);
  for (int i = 32767; i < 32770; ++i) past[i].y = i - 32766;
  // A run that stops exactly at the tolerance, 0.5 off the line.
  std::vector<V> onTolerance;
  for (int i = 0; i < 100; ++i) onTolerance.push_back(V{double(i), 0.5 * (i % 2)});
  std::vector<V> exact = Jittered(200, 0.0, 1);
  for (int i = 0; i < 200; i += 3) exact[i].y = 1e-4 * (i % 2);
  return {
      {"FewVertices",
       {poly({}), poly({{0, 0}}), poly({{0, 0}, {1, 0}}), poly(tiny), poly(tiny, 21)}},
      {"ShortJitteredRun", {poly(Jittered(150, 0.004, 1)), poly(Jittered(90, 0.009, 2), 21)}},
      {"LongJitteredRun", {poly(Jittered(1200, 0.004, 9))}},
      {"Curve", {poly(Curve(3000, 1000.0))}},
      {"ArcVerticesBreakRuns", {poly(Every(Jittered(300, 0.004, 4), 25, ArcVertex), 21)}},
      {"NonPlainTypes", {poly(Every(Jittered(200, 0.004, 6), 7, TypeOfIndex))}},
      {"NaNAndInfinitePoints", {poly(nan)}},
      {"SpikesOutAndBack", {poly(Every(Jittered(300, 0.004, 8), 13, Spike))}},
      {"EndsOnTheAnchor", {poly(coincident)}},
      {"FullCount", {poly(ZigzagWithTail(32767, 300))}},
      {"FullCountLessOne", {poly(ZigzagWithTail(32766, 3))}},
      // The host's count holds at 32,767: deletions do not lower it.
      {"PastTheCount", {poly(past)}},
      {"OnTheTolerance", {poly(onTolerance)}, 0.5},
      {"ToleranceZero", {poly(exact)}, 0.0},
      {"ToleranceNaN", {poly(Jittered(200, 5.0, 3))}, kNaN},
      {"NoGetVertex",
       {poly(Jittered(200, 0.004, 2)), poly(ZigzagWithTail(100, 30))},
       0.01,
       {kSelGetVertex}},
      {"NoDeleteVertex",
       {poly(Every(Jittered(60, 0.004, 2), 5, Corner))},
       0.01,
       {kSelDeleteVertex}},
      {"CountReadsNegative", {poly(Jittered(100, 0.004, 2))}, 0.01, {-1, true, -3}},
      {"CountReadsZero", {poly(Jittered(100, 0.004, 2))}, 0.01, {-1, true, 0}},
  };
}

INSTANTIATE_TEST_SUITE_P(Cases, BothWays,
                         ::testing::Combine(::testing::ValuesIn(Cases()), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) ? "AfterVertexPass" : "ReduceOnly");
                         });

// A straight run that collapses to its ends: each vertex read once, where the
// written way reads the inner ones again at every growth.
class LinearReads : public ::testing::TestWithParam<int> {};

TEST_P(LinearReads, StraightRun) {
  const int n = GetParam();
  const Outcome large = RunThrough(
      CLEANUP_LARGE_WAYS_PATH, {hostapp::Polyline(Jittered(n, 0.004, 11))}, true, 0.01, {}, true);
  ASSERT_EQ(large.drawing.size(), 1u);
  EXPECT_EQ(large.drawing[0].vertices.size(), 2u);
  const size_t reads = large.calls.size() - WithoutReads(large.calls).size();
  EXPECT_LE(reads, size_t(n));
}

INSTANTIATE_TEST_SUITE_P(Lengths, LinearReads, ::testing::Values(100, 1000, 4000));

}  // namespace
