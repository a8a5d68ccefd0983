// The plug-in forced to its large-drawing ways (the candidate index from the
// first object, vertices buffered from the first vertex) and forced to its
// written ways must leave every drawing alike: the same objects in the same
// order, bit for bit. Each case runs one drawing through both libraries on two
// hosts with the same settings: every fuzz-corpus input, and seeded random
// drawings under each option set that drives a comparing pass, with new
// objects placed before, after or at the end, converted in place or not, and
// on hosts without one of the routines that change the drawing. On drawings
// past its threshold the shipped library must agree too. Where the host lacks
// no routine and has no fault, the coverage check asks that nothing drawn was
// lost or added.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/coverage_oracle.h"
#include "fuzz/drawing_input.h"
#include "fuzz/run_audit.h"
#include "hostapp/builders.h"
#include "hostapp/geometry.h"
#include "hostapp/host.h"
#include "support/plugin_fixture.h"

namespace {

using hostapp::Host;
using hostapp::Object;
using Place = Host::NewObjectPlace;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// ---- seeded random drawings ----

// Lines on a coarse grid so that many touch, overlap, repeat and line up;
// arcs (shared circles, negative sweeps, ellipses); open and closed
// polylines; points and 3D objects; now and then a NaN, an infinity, a huge
// value or an object with empty bounds.
class RandomDrawing {
 public:
  // A grid of `grid` steps a side; 0: about one object per grid cell.
  RandomDrawing(uint32_t seed, int count, int grid)
      : rng_(seed), grid_(grid > 0 ? grid : std::max(4, int(std::sqrt(count)))) {
    for (int i = 0; i < count; ++i) objects_.push_back(Next());
  }
  const std::vector<Object>& Objects() const { return objects_; }

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  bool OneIn(int n) { return Pick(n) == 0; }
  double G() { return Pick(grid_); }
  // Mostly grid values; sometimes just off them (within a tolerance of 1),
  // sometimes a value that breaks arithmetic.
  double Coord(double v) {
    if (OneIn(60)) {
      static const double kOdd[] = {kNaN, kInf, -kInf, 1e300, -1e300, 1e15, 1e-300};
      return kOdd[Pick(7)];
    }
    return OneIn(12) ? v + 0.005 : v;
  }
  hostapp::V Corner(double x, double y) { return {Coord(x), Coord(y)}; }

  Object Line() {
    static const int kSteps[][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}, {2, 1}, {-1, 0}};
    const int* d = kSteps[Pick(6)];
    const int len = 1 + Pick(3);
    const double x = G(), y = G();
    return hostapp::Line(Coord(x), Coord(y), Coord(x + d[0] * len), Coord(y + d[1] * len));
  }
  Object Arc() {
    static const double kSweeps[] = {90, 45, 135, 140, 141, 180, 270, 360, -90, -45, -200, 400};
    if (!circles_.empty() && OneIn(2)) {
      const Object& c = circles_[Pick(int(circles_.size()))];
      return hostapp::EllipticArc(c.center.x, c.center.y, c.hRadius, c.vRadius, 45.0 * Pick(8), kSweeps[Pick(12)]);
    }
    const double r = 0.5 * (1 + Pick(4));
    Object a = hostapp::EllipticArc(Coord(G()), Coord(G()), r, OneIn(5) ? 2 * r : r, 45.0 * Pick(8),
                                    kSweeps[Pick(12)]);
    circles_.push_back(a);
    return a;
  }
  Object Polyline() {
    std::vector<hostapp::V> corners;
    double x = G(), y = G();
    if (OneIn(8)) {  // a long, nearly straight run for vertex reduction
      const double wobble = 0.002 * Pick(20);
      for (int i = 0, n = 20 + Pick(60); i < n; ++i) corners.push_back({x + 0.5 * i, y + wobble * (i % 3)});
      return hostapp::Polyline(corners, false, OneIn(2) ? 5 : 21);
    }
    const int n = Pick(7);  // 0: no vertices, empty bounds
    for (int i = 0; i < n; ++i) {
      hostapp::V v = Corner(x, y);
      if (i > 0 && OneIn(6)) {
        v.type = 3;
        v.radius = 1;
      }
      corners.push_back(v);
      (OneIn(2) ? x : y) += Pick(3) - 1;
    }
    return hostapp::Polyline(corners, OneIn(4), OneIn(2) ? 5 : 21);
  }
  Object ThreeD() {
    Object o;
    switch (Pick(3)) {
      case 0:
        o.type = 9;
        o.point3d = hostapp::Pt3(Coord(G()), Coord(G()), Pick(2));
        break;
      case 1:
        o.type = 15;
        for (HostWorldPt3D& p : o.points3d) p = hostapp::Pt3(Coord(G()), Coord(G()), Pick(2));
        break;
      default:
        o.type = 25;
        o.closed = OneIn(4);
        for (int i = Pick(5); i > 0; --i) o.vertices3d.push_back(hostapp::Pt3(Coord(G()), Coord(G()), Pick(2)));
    }
    return o;
  }
  Object Boxed() {
    static const int16_t kTypes[] = {3, 4, 10};
    Object o;
    o.type = kTypes[Pick(3)];
    const double x = G(), y = G();
    o.bounds = OneIn(6) ? hostapp::EmptyRect() : HostWorldRect{Coord(y + 1), Coord(x), y, x + 1};
    o.attr.longB = Pick(2);
    return o;
  }

  Object Next() {
    Object o;
    const int k = Pick(100);
    if (k < 12 && !objects_.empty()) {
      o = objects_[Pick(int(objects_.size()))];  // a copy, maybe reversed
      if (o.type == 2 && OneIn(2)) std::swap(o.first, o.second);
    } else if (k < 50) {
      o = Line();
    } else if (k < 65) {
      o = Arc();
    } else if (k < 80) {
      o = Polyline();
    } else if (k < 85) {
      o = hostapp::Point17(Coord(G()), Coord(G()));
    } else if (k < 94) {
      o = ThreeD();
    } else {
      o = Boxed();
    }
    // Mostly equal attributes, so that most neighbours qualify.
    if (OneIn(10)) o.attr.wordA = 1;
    if (OneIn(10)) o.cls = 1;  // the drawing's one named class
    return o;
  }

  std::mt19937 rng_;
  int grid_;
  std::vector<Object> objects_;
  std::vector<Object> circles_;
};

// Pieces of a few long supporting lines, where the overlap pass's direction
// key and vertex reduction's cone must let through exactly what the written
// tests pass: lines horizontal, vertical, a hair off vertical or horizontal,
// steep and shallow; their pieces overlapping, touching, reversed, tiny or of
// no length; each end off the line by noise around the 1e-5 collinearity
// limit; the whole line moved out to huge coordinates (around the 1e9 where
// the key stops narrowing, and past it); walls crossing them. Arcs share
// centres and radii up to the tolerances of the tests. Polylines are long
// nearly straight runs whose corners stray around the point tolerance (1 in
// these cases), with now and then a corner that doubles back or a NaN.
class NearCollinearDrawing {
 public:
  NearCollinearDrawing(uint32_t seed, int count) : rng_(seed) {
    for (int i = 0; i < 4; ++i) lines_.push_back(NewSupport());
    while (int(objects_.size()) < count) Next();
  }
  const std::vector<Object>& Objects() const { return objects_; }

 private:
  struct Support {
    double x, y, dx, dy;  // a point and a unit direction
  };
  struct WorldOn {
    double x, y;
  };
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  bool OneIn(int n) { return Pick(n) == 0; }
  double Uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng_); }

  Support NewSupport() {
    static const double kAngles[] = {0, 90, 90 + 1e-7, 90 - 1e-9, 1e-6, 180 - 1e-6, 45, 89.99, 0.01, 30};
    static const double kOrigins[] = {0, 0, 0, 1e6, 1e8, 9.9e8, 1.5e9, 1e12, 1e15};
    const double a = kAngles[Pick(10)] * 3.14159265358979323846 / 180;
    const double o = kOrigins[Pick(9)];
    return Support{o + Pick(20), o / 2 + Pick(20), std::cos(a), std::sin(a)};
  }
  // Off the line by noise near the collinearity limit, or not at all.
  double Noise() {
    static const double kNoise[] = {0, 0, 0, 2e-6, -4e-6, 9e-6, 1e-5, -1.1e-5, 3e-5, 1e-3};
    return kNoise[Pick(10)];
  }
  WorldOn At(const Support& s, double t) {
    const double n = Noise();
    return WorldOn{s.x + s.dx * t - s.dy * n, s.y + s.dy * t + s.dx * n};
  }

  void Next() {
    const int k = Pick(100);
    if (k < 3) lines_[size_t(Pick(int(lines_.size())))] = NewSupport();
    if (k < 55) {
      const Support& s = lines_[size_t(Pick(int(lines_.size())))];
      static const double kLengths[] = {1, 2, 5, 0.5, 1e-4, 1e-6, 0, 40};
      const double t0 = Pick(30) + (OneIn(3) ? Uniform(0, 1) : 0);
      const double t1 = t0 + kLengths[Pick(8)] * (OneIn(4) ? -1 : 1);
      const WorldOn a = At(s, t0), b = At(s, t1);
      objects_.push_back(hostapp::Line(a.x, a.y, b.x, b.y));
    } else if (k < 65) {  // a wall across one of the lines
      const Support& s = lines_[size_t(Pick(int(lines_.size())))];
      const WorldOn m = At(s, Pick(30));
      objects_.push_back(hostapp::Line(m.x - s.dy, m.y + s.dx, m.x + s.dy, m.y - s.dx));
    } else if (k < 80) {
      static const double kJitter[] = {0, 0, 0.01, -0.01, 0.0100001, 0.009999, 1e-9};
      static const double kRadius[] = {1, 1, 1 + 1e-13, 1 + 1e-12, 2, 1e9};
      const double cx = Pick(4) + kJitter[Pick(7)], cy = Pick(4) - kJitter[Pick(7)];
      const double r = kRadius[Pick(6)];
      objects_.push_back(hostapp::EllipticArc(cx, cy, r, OneIn(6) ? 2 * r : r, 45.0 * Pick(8), 30.0 * (1 + Pick(12))));
    } else if (k < 88) {
      objects_.push_back(Run());
    } else {
      objects_.push_back(objects_.empty() ? hostapp::Line(0, 0, 1, 0) : objects_[size_t(Pick(int(objects_.size())))]);
    }
    if (OneIn(12)) objects_.back().attr.wordA = 1;
  }

  // A long, nearly straight run along a line, for vertex reduction.
  Object Run() {
    static const double kStray[] = {0, 0.5, 0.99, 0.999999, 1.0, 1.000001, 1.01};
    const Support& s = lines_[size_t(Pick(int(lines_.size())))];
    const double stray = kStray[Pick(7)];
    const double step = OneIn(3) ? 0.25 : 3.0;
    std::vector<hostapp::V> corners;
    for (int i = 0, n = 70 + Pick(400); i < n; ++i) {
      double along = step * i, off = stray * (Pick(3) - 1.0);
      if (OneIn(150)) along -= 5 * step;  // doubles back
      hostapp::V v{s.x + s.dx * along - s.dy * off, s.y + s.dy * along + s.dx * off};
      if (OneIn(400)) v.x = kNaN;
      corners.push_back(v);
    }
    return hostapp::Polyline(corners, false, OneIn(2) ? 5 : 21);
  }

  std::mt19937 rng_;
  std::vector<Support> lines_;
  std::vector<Object> objects_;
};

// ---- cases ----

struct OptionSet {
  const char* name;
  std::vector<int> flags;  // empty: the plug-in's defaults
};
// Each comparing pass alone, joining with and without arcs, vertex
// reduction (it buffers long objects in its large-drawing way), everything,
// the defaults.
const OptionSet kOptionSets[] = {
    {"duplicates", {3}}, {"merge", {4}}, {"join", {6}}, {"join_arcs", {6, 7}}, {"reduce", {8}},
    {"all", {0, 1, 2, 3, 4, 5, 6, 7, 8}}, {"defaults", {}},
};
constexpr Place kPlaces[] = {Place::kBeforeVisited, Place::kAfterVisited, Place::kAtEnd};
const char* PlaceName(Place p) {
  return p == Place::kBeforeVisited ? "before" : p == Place::kAfterVisited ? "after" : "atend";
}

// Where the host puts new objects, and whether conversions keep the handle.
struct HostSetup {
  Place place;
  bool convertInPlace;
  std::string Name() const { return std::string(PlaceName(place)) + (convertInPlace ? "_inplace" : "_newhandle"); }
};
std::vector<HostSetup> EverySetup() {
  std::vector<HostSetup> all;
  for (Place p : kPlaces)
    for (bool inPlace : {true, false}) all.push_back({p, inPlace});
  return all;
}

struct DiffCase {
  std::string corpusFile;  // a fuzz input, with its own options and faults
  uint32_t seed = 0;       // or a random drawing of `objects` objects
  int objects = 0;
  int grid = 0;  // RandomDrawing's
  const OptionSet* options = nullptr;
  bool nearCollinear = false;  // a NearCollinearDrawing instead
  std::vector<HostSetup> setups = EverySetup();  // one run of each way per setup
  int32_t missing = -1;                          // selector of a routine the host lacks

  std::string Name() const {
    std::string n = corpusFile.empty() ? std::string(nearCollinear ? "collinear" : "random") + std::to_string(objects) +
                                             (grid > 0 ? "_dense" : "") + "_seed" +
                                             std::to_string(seed) + "_" + options->name
                                       : "corpus_" + corpusFile;
    if (setups.size() == 1) n += "_" + setups[0].Name();
    if (missing >= 0) n += "_without" + std::to_string(missing);
    std::replace_if(n.begin(), n.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return n;
  }
};

void PrintTo(const DiffCase& c, std::ostream* os) { *os << c.Name(); }

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(CLEANUP_FUZZ_CORPUS_DIR))
    if (e.is_regular_file()) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<DiffCase> AllCases() {
  std::vector<DiffCase> cases;
  for (const std::string& f : CorpusFiles()) cases.push_back(DiffCase{f});
  // Every option set on drawings of a few hundred objects, one of them piled
  // on a 3 by 3 grid.
  for (auto [seed, grid] : {std::pair{1u, 0}, {2u, 0}, {4u, 3}})
    for (const OptionSet& o : kOptionSets) cases.push_back(DiffCase{"", seed, 400, grid, &o});
  // A host without a routine that changes the drawing changes nothing, and
  // the index must not think otherwise.
  for (int32_t selector : {kSelDeleteObject, kSelCreatePolyline, kSelCreateLine, kSelConvertToPolyline,
                           kSelSetLineEnds, kSelSetArcAngles}) {
    DiffCase c{"", 1, 400, 0, &kOptionSets[5]};  // everything
    c.setups = {{Place::kBeforeVisited, false}, {Place::kAfterVisited, false}, {Place::kAtEnd, false}};
    c.missing = selector;
    cases.push_back(c);
  }
  // Pieces of long lines and long runs, for the merge and reduction keys.
  for (uint32_t seed : {11u, 12u, 13u})
    for (const OptionSet* o : {&kOptionSets[1], &kOptionSets[4], &kOptionSets[5]}) {
      DiffCase c{"", seed, 600, 0, o};
      c.nearCollinear = true;
      cases.push_back(c);
    }
  for (const OptionSet* o : {&kOptionSets[1], &kOptionSets[4]}) {
    DiffCase c{"", 14, 2500, 0, o};
    c.nearCollinear = true;
    c.setups = {{Place::kAfterVisited, true}};
    cases.push_back(c);
  }
  // Each option set once on a few thousand objects, setups taken in turn.
  const std::vector<HostSetup> setups = EverySetup();
  for (size_t i = 0; i < std::size(kOptionSets); ++i) {
    DiffCase c{"", 3, 2500, 0, &kOptionSets[i]};
    c.setups = {setups[i % setups.size()]};
    cases.push_back(c);
  }
  return cases;
}

// ---- running one case on one library ----

// One run: the host as the run left it, the drawing before, what the run accepted.
struct RunEnd {
  std::unique_ptr<Host> host;
  runaudit::Snapshot before;
  runaudit::RunFacts facts;
};

RunEnd RunThrough(const char* library, const DiffCase& c, const HostSetup& setup) {
  RunEnd run{std::make_unique<Host>(), {}, {}};
  Host* host = run.host.get();
  host->settings.logCalls = false;
  std::string error;
  if (!host->LoadPlugin(library, &error)) {
    ADD_FAILURE() << error;
    return run;
  }
  drawinginput::Options options{};
  runaudit::RunFacts& facts = run.facts;
  if (!c.corpusFile.empty()) {
    std::ifstream in(std::string(CLEANUP_FUZZ_CORPUS_DIR) + "/" + c.corpusFile, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    drawinginput::Decode(bytes.data(), bytes.size(), *host, options, facts);
  } else {
    host->ClassNamed("Layer 1");
    const std::vector<Object> objects = c.nearCollinear ? NearCollinearDrawing(c.seed, c.objects).Objects()
                                                        : RandomDrawing(c.seed, c.objects, c.grid).Objects();
    for (const Object& o : objects) host->Add(o);
    ::Options o;
    if (!c.options->flags.empty()) {
      std::fill(std::begin(o.flags), std::end(o.flags), 0);
      for (int f : c.options->flags) o.flags[f] = 1;
      o.tolerance1 = 1.0;  // points within 0.01 coincide: the off-grid ones join
    }
    std::memcpy(options, o.flags, sizeof o.flags);
    std::memcpy(options + drawinginput::kTolerance1Offset, &o.tolerance1, sizeof o.tolerance1);
    std::memcpy(options + drawinginput::kTolerance2Offset, &o.tolerance2, sizeof o.tolerance2);
  }
  if (c.missing >= 0) host->SetMissing(c.missing);
  host->settings.newObjects = setup.place;
  host->settings.convertInPlace = setup.convertInPlace;
  run.before = runaudit::Take(*host);
  drawinginput::RunCommand(*host, options, facts);
  return run;
}

class Differential : public ::testing::TestWithParam<DiffCase> {};

// The first objects where two runs differ, as each left them.
std::string FirstDifferences(const Host& a, const Host& b) {
  const std::vector<ObjectHandle> x = a.Objects(), y = b.Objects();
  size_t i = 0;
  while (i < x.size() && i < y.size() && runaudit::Identical(a.Get(x[i]), b.Get(y[i]))) ++i;
  std::string shown;
  for (size_t k = i; k < i + 3; ++k) {
    if (k < x.size()) shown += "\n  one   #" + std::to_string(k + 1) + ": " + Describe(a.Get(x[k]));
    if (k < y.size()) shown += "\n  other #" + std::to_string(k + 1) + ": " + Describe(b.Get(y[k]));
  }
  return shown;
}

void ExpectSameEnd(const Host& a, const Host& b, const char* what) {
  const std::string difference = runaudit::EndStateDifference(a, b);
  if (!difference.empty()) ADD_FAILURE() << what << ": " << difference << FirstDifferences(a, b);
}

// On a host without faults nothing drawn is lost or added, with the flags and
// tolerances the run accepted. Corpus inputs with faults, or with tolerances
// that are no world lengths, are left out.
void ExpectNothingLost(const RunEnd& run, const DiffCase& c) {
  if (c.missing >= 0) return;
  const std::optional<coverage::Rules> rules = runaudit::CoverageRules(*run.host, run.facts);
  if (!rules) return;
  std::string shown;
  for (const std::string& place : runaudit::CoverageProblems(run.before, *run.host, *rules)) shown += "\n  " + place;
  if (!shown.empty()) ADD_FAILURE() << "coverage check failed:" << shown;
}

TEST_P(Differential, LargeAndWrittenWaysLeaveTheSameDrawing) {
  const DiffCase& c = GetParam();
  for (const HostSetup& setup : c.setups) {
    SCOPED_TRACE(setup.Name());
    const RunEnd large = RunThrough(CLEANUP_LARGE_WAYS_PATH, c, setup);
    const RunEnd written = RunThrough(CLEANUP_WRITTEN_WAYS_PATH, c, setup);
    ExpectSameEnd(*large.host, *written.host, "large ways against written ways");
    // The other ways must end alike, so the written ways' end stands for all.
    ExpectNothingLost(written, c);
    // Guards the wiring: on any drawing of two or more objects the index
    // makes calls of its own whenever a comparing pass runs.
    const auto comparing = [](int flag) { return flag == 3 || flag == 4 || flag == 6; };
    if (c.corpusFile.empty() && c.missing < 0 &&
        std::any_of(c.options->flags.begin(), c.options->flags.end(), comparing))
      EXPECT_NE(large.host->CallCount(), written.host->CallCount()) << "the two libraries ran the same way";
    // Past its threshold the shipped library changes ways in the middle of a pass.
    if (c.objects > 1000)
      ExpectSameEnd(*RunThrough(CLEANUP_PLUGIN_PATH, c, setup).host, *written.host,
                    "shipped library against written ways");
  }
}

INSTANTIATE_TEST_SUITE_P(Ways, Differential, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<DiffCase>& info) { return info.param.Name(); });

}  // namespace
