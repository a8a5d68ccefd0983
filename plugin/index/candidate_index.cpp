#include "index/candidate_index.h"

#include <algorithm>
#include <iterator>
#include <cmath>
#include <cstdint>
#include <memory_resource>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/box.hpp>
#include <boost/geometry/geometries/point.hpp>
#include <boost/geometry/index/rtree.hpp>
#include <boost/iterator/function_output_iterator.hpp>

#include "host/host_calls.h"
#include "index/thresholds.h"

namespace {

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;

// A box and the entry it was filed for, with the entry's version then: an
// entry filed again leaves its old value behind, and queries skip values of
// versions gone by. Removing from the tree would be dearer, and it puts its
// underfull nodes on a heap of its own, once per removal. A pass that keys by
// place alone gets a tree of plane boxes, a third smaller than boxes with the
// third axis; a tree that leaves that axis out finds a superset, never less.
template <size_t Axes>
struct TreeOf {
  using Point = bg::model::point<double, Axes, bg::cs::cartesian>;
  using Box = bg::model::box<Point>;
  using Value = std::pair<Box, uint64_t>;
  using Tree = bgi::rtree<Value, bgi::linear<16>, bgi::indexable<Value>, bgi::equal_to<Value>,
                         std::pmr::polymorphic_allocator<Value>>;
  static Box ToTree(const IndexBox& b) {
    if constexpr (Axes == 2) {
      return Box(Point(b.minX, b.minY), Point(b.maxX, b.maxY));
    } else {
      return Box(Point(b.minX, b.minY, b.minZ), Point(b.maxX, b.maxY, b.maxZ));
    }
  }
};
using Plane = TreeOf<2>;
using Space = TreeOf<3>;

// Order keys leave this much room between neighbours, so objects the host
// inserts between them get keys of their own; 32 insertions at one spot
// would exhaust it, and the pass then goes back to walking.
constexpr int64_t kKeyGap = int64_t{1} << 32;
// The index's memory comes from one arena per pass that starts at this size
// and grows geometrically, so it is asked for in a few large steps rather
// than node by node, and given back whole at the end of the pass.
constexpr size_t kFirstArenaBytes = size_t{1} << 20;

enum class Place : uint8_t { kNone, kTree, kAnywhere, kDead };

struct Entry {
  ObjectHandle object = 0;
  int64_t key = 0;      // host order
  int64_t predKey = 0;  // key of the object last known right before this one
  uint32_t version = 0;  // of its value in the tree
  Place place = Place::kNone;
  bool dirty = true;            // key to be read again before the next query
  bool listedAnywhere = false;  // in Index::anywhere
};

// Entry of each handle: open addressing with linear probing in one table,
// at most three quarters full, 8 bytes a slot (a node-based map takes about
// three times as much). Handle 0 marks a free slot; no object has it.
class HandleMap {
 public:
  explicit HandleMap(std::pmr::memory_resource* arena) : slots_(arena) {}
  void Reserve(size_t n) {
    size_t capacity = 16;
    while (3 * capacity < 4 * n) capacity *= 2;
    if (capacity > slots_.size()) Rehash(capacity);
  }
  const uint32_t* Find(ObjectHandle h) const {
    if (slots_.empty()) return nullptr;
    for (size_t i = Home(h);; i = (i + 1) & mask_) {
      if (slots_[i].handle == h) return &slots_[i].entry;
      if (slots_[i].handle == 0) return nullptr;
    }
  }
  void Set(ObjectHandle h, uint32_t entry) {
    if (4 * (count_ + 1) > 3 * slots_.size()) Rehash(std::max<size_t>(16, 2 * slots_.size()));
    size_t i = Home(h);
    while (slots_[i].handle != 0 && slots_[i].handle != h) i = (i + 1) & mask_;
    if (slots_[i].handle == 0) ++count_;
    slots_[i] = Slot{h, entry};
  }
  // Later slots of the probe run move back into the gap, so no run is cut.
  void Erase(ObjectHandle h) {
    if (slots_.empty()) return;
    size_t i = Home(h);
    while (slots_[i].handle != h) {
      if (slots_[i].handle == 0) return;
      i = (i + 1) & mask_;
    }
    for (size_t j = (i + 1) & mask_; slots_[j].handle != 0; j = (j + 1) & mask_) {
      const size_t home = Home(slots_[j].handle);
      // j's slot may fill the gap at i when its home is not within (i, j].
      if (((j - home) & mask_) >= ((j - i) & mask_)) {
        slots_[i] = slots_[j];
        i = j;
      }
    }
    slots_[i] = Slot{};
    --count_;
  }

 private:
  struct Slot {
    ObjectHandle handle = 0;
    uint32_t entry = 0;
  };
  size_t Home(ObjectHandle h) const { return size_t((uint64_t{h} * 0x9E3779B97F4A7C15ull) >> 32) & mask_; }
  void Rehash(size_t capacity) {
    std::pmr::vector<Slot> old(std::move(slots_));
    slots_ = std::pmr::vector<Slot>(capacity, old.get_allocator());
    mask_ = capacity - 1;
    count_ = 0;
    for (const Slot& s : old)
      if (s.handle != 0) Set(s.handle, s.entry);
  }
  std::pmr::vector<Slot> slots_;
  size_t mask_ = 0;
  size_t count_ = 0;
};

struct Index {
  Index()
      : arena(kFirstArenaBytes),
        entries(&arena),
        byHandle(&arena),
        anywhere(&arena),
        dirty(&arena),
        hits(&arena),
        results(&arena) {}
  std::pmr::monotonic_buffer_resource arena;
  std::pmr::vector<Entry> entries;
  HandleMap byHandle;
  // Made at once from every object's box, which packs it well; one of them.
  std::optional<Plane::Tree> plane;
  std::optional<Space::Tree> space;
  std::pmr::vector<uint32_t> anywhere;  // entries whose key is no usable box
  std::pmr::vector<uint32_t> dirty;
  std::pmr::vector<uint64_t> hits;  // entry and version of each value a query met
  std::pmr::vector<uint32_t> results;
  IndexKeyFn key = nullptr;
  int64_t lastKey = 0;
  bool exhausted = false;  // order keys ran out: walk for the rest of the pass
};

// One search of one pass.
struct Search {
  ObjectHandle visited = 0;
  IndexKeyFn key = nullptr;
  IndexBox boxes[2];
  int boxCount = 0;
  bool boxesUsable = false;
  bool walking = true;  // NextObject; otherwise `results` from `position`
  int32_t steps = 0;
  size_t position = 0;
};

Index* gIndex = nullptr;
Search gSearch;

bool Usable(const IndexBox& b) {
  return std::isfinite(b.minX) && std::isfinite(b.minY) && std::isfinite(b.minZ) && std::isfinite(b.maxX) &&
         std::isfinite(b.maxY) && std::isfinite(b.maxZ) && b.minX <= b.maxX && b.minY <= b.maxY &&
         b.minZ <= b.maxZ;
}


Entry* Find(ObjectHandle object) {
  const uint32_t* n = gIndex->byHandle.Find(object);
  return n == nullptr ? nullptr : &gIndex->entries[*n];
}

void MarkDirty(uint32_t n) {
  Entry& e = gIndex->entries[n];
  if (e.dirty || e.place == Place::kDead) return;
  e.dirty = true;
  gIndex->dirty.push_back(n);
}

void TakeOut(uint32_t n) {
  Entry& e = gIndex->entries[n];
  if (e.place == Place::kTree) ++e.version;
  e.place = Place::kNone;
}

uint32_t EntryOf(uint64_t id) { return static_cast<uint32_t>(id); }
bool Current(uint64_t id) {
  const Entry& e = gIndex->entries[EntryOf(id)];
  return e.place == Place::kTree && e.version == static_cast<uint32_t>(id >> 32);
}

// What goes into the tree for one entry.
struct Filed {
  IndexBox box;
  uint64_t id = 0;
};

// Reads the object's key again; true with `value` set when it goes into the
// tree, otherwise it is filed (or not) right here.
bool Classify(CallbackPtr cbp, uint32_t n, Filed& value) {
  Entry& e = gIndex->entries[n];
  e.dirty = false;
  if (e.place == Place::kDead) return false;
  TakeOut(n);
  IndexBox box;
  if (!gIndex->key(cbp, e.object, &box)) return false;
  if (Usable(box)) {
    e.place = Place::kTree;
    value = Filed{box, (uint64_t{e.version} << 32) | n};
    return true;
  }
  e.place = Place::kAnywhere;
  if (!e.listedAnywhere) gIndex->anywhere.push_back(n);
  e.listedAnywhere = true;
  return false;
}

// Reads the object's key again and files it where searches will find it.
void Refile(CallbackPtr cbp, uint32_t n) {
  Filed value;
  if (!Classify(cbp, n, value)) return;
  if (gIndex->space) {
    gIndex->space->insert(Space::Value(Space::ToTree(value.box), value.id));
  } else {
    gIndex->plane->insert(Plane::Value(Plane::ToTree(value.box), value.id));
  }
}

void RefileDirty(CallbackPtr cbp) {
  // Refile may not add to the list: it only reads.
  for (uint32_t n : gIndex->dirty) Refile(cbp, n);
  gIndex->dirty.clear();
}

uint32_t AddEntry(ObjectHandle object, int64_t key, int64_t predKey) {
  const auto n = static_cast<uint32_t>(gIndex->entries.size());
  Entry e;
  e.object = object;
  e.key = key;
  e.predKey = predKey;
  gIndex->entries.push_back(e);
  gIndex->byHandle.Set(object, n);
  gIndex->dirty.push_back(n);
  return n;
}

// A new object: placed before its successor, or at the end. One placed
// before any object of the index lies before every object still to be
// visited, where no search looks, and stays out.
void PlaceNew(CallbackPtr cbp, ObjectHandle object) {
  if (Find(object) != nullptr) return;
  const ObjectHandle successor = NextObject(cbp, object);
  if (successor == 0) {
    const int64_t key = gIndex->lastKey + kKeyGap;
    AddEntry(object, key, gIndex->lastKey);
    gIndex->lastKey = key;
    return;
  }
  Entry* s = Find(successor);
  if (s == nullptr) return;
  const int64_t key = s->predKey + (s->key - s->predKey) / 2;
  if (key <= s->predKey || key >= s->key) {
    gIndex->exhausted = true;
    return;
  }
  const int64_t predKey = s->predKey;
  s->predKey = key;  // s may move when entries grow: done before AddEntry
  AddEntry(object, key, predKey);
}

// Told by the host layer of every change the plug-in makes to the drawing:
// (o, o) changed, (0, o) created, (o, 0) deleted, (old, new) converted to a
// new handle in old's place.
void FollowChange(CallbackPtr cbp, ObjectHandle before, ObjectHandle after) {
  if (before == 0) {
    if (after != 0) PlaceNew(cbp, after);
    return;
  }
  const uint32_t* found = gIndex->byHandle.Find(before);
  if (found == nullptr) return;
  const uint32_t n = *found;
  if (after == before) {
    MarkDirty(n);
    return;
  }
  gIndex->byHandle.Erase(before);
  Entry& e = gIndex->entries[n];
  if (after == 0) {
    TakeOut(n);
    e.place = Place::kDead;
    return;
  }
  e.object = after;
  gIndex->byHandle.Set(after, n);
  MarkDirty(n);
}

// Memory running out while the index follows the drawing leaves the pass to
// walk, as it would on a small drawing; nothing is thrown to the host.
void OnObjectChange(CallbackPtr cbp, ObjectHandle before, ObjectHandle after) {
  if (gIndex == nullptr || gIndex->exhausted) return;
  try {
    FollowChange(cbp, before, after);
  } catch (...) {
    gIndex->exhausted = true;
  }
}

// Files every entry, packing the tree from a list of its own that is given
// back once the tree is made.
template <typename Trees>
void Pack(CallbackPtr cbp, std::optional<typename Trees::Tree>& tree) {
  std::vector<typename Trees::Value> values;
  values.reserve(gIndex->dirty.size());
  Filed value;
  for (uint32_t n : gIndex->dirty)
    if (Classify(cbp, n, value)) values.emplace_back(Trees::ToTree(value.box), value.id);
  gIndex->dirty.clear();
  using Value = typename Trees::Value;
  tree.emplace(values.begin(), values.end(), bgi::linear<16>(), bgi::indexable<Value>(), bgi::equal_to<Value>(),
               std::pmr::polymorphic_allocator<Value>(&gIndex->arena));
}

// One walk from the visited object to the end keys every object that a
// later search of this pass can reach. A first walk counts them, so the
// lists are made at their size at once: grown by doubling in the arena, each
// would leave all its smaller copies behind until the pass ends.
bool Build(CallbackPtr cbp) {
  gIndex = new (std::nothrow) Index();
  if (gIndex == nullptr) return false;
  gIndex->key = gSearch.key;
  try {
    size_t count = 0;
    for (ObjectHandle o = gSearch.visited; o != 0; o = NextObject(cbp, o)) ++count;
    // Room for what the pass creates besides.
    const size_t room = count + count / 8 + 16;
    gIndex->entries.reserve(room);
    gIndex->byHandle.Reserve(room);
    gIndex->dirty.reserve(room);
    int64_t key = 0;
    for (ObjectHandle o = gSearch.visited; o != 0; o = NextObject(cbp, o)) {
      AddEntry(o, key + kKeyGap, key);
      key += kKeyGap;
    }
    gIndex->lastKey = key;
    // The pass's searches say whether it keys on the third axis.
    bool space = false;
    for (int b = 0; b < gSearch.boxCount; ++b)
      space = space || gSearch.boxes[b].minZ != 0 || gSearch.boxes[b].maxZ != 0;
    if (space) {
      Pack<Space>(cbp, gIndex->space);
    } else {
      Pack<Plane>(cbp, gIndex->plane);
    }
  } catch (...) {
    gIndex->exhausted = true;
    return false;
  }
  gObjectChangeListener = &OnObjectChange;
  return true;
}

template <typename Trees>
void QueryInto(const typename Trees::Tree& tree, const IndexBox& box, std::pmr::vector<uint64_t>& hits) {
  tree.query(bgi::intersects(Trees::ToTree(box)),
             boost::make_function_output_iterator([&](const typename Trees::Value& v) { hits.push_back(v.second); }));
}

// The filtered objects at or after `from`, in host order.
bool Collect(CallbackPtr cbp, ObjectHandle from) {
  const Entry* start = Find(from);
  if (start == nullptr) return false;
  const int64_t fromKey = start->key;
  RefileDirty(cbp);
  auto& results = gIndex->results;
  results.clear();
  auto& hits = gIndex->hits;
  hits.clear();
  for (int b = 0; b < gSearch.boxCount; ++b) {
    const IndexBox& box = gSearch.boxes[b];
    if (gIndex->space) {
      QueryInto<Space>(*gIndex->space, box, hits);
    } else {
      QueryInto<Plane>(*gIndex->plane, box, hits);
    }
  }
  for (const uint64_t v : hits)
    if (Current(v) && gIndex->entries[EntryOf(v)].key >= fromKey) results.push_back(EntryOf(v));
  for (uint32_t n : gIndex->anywhere) {
    const Entry& e = gIndex->entries[n];
    if (e.place == Place::kAnywhere && e.key >= fromKey) results.push_back(n);
  }
  std::sort(results.begin(), results.end(),
            [](uint32_t a, uint32_t b) { return gIndex->entries[a].key < gIndex->entries[b].key; });
  results.erase(std::unique(results.begin(), results.end()), results.end());
  gSearch.position = 0;
  return true;
}

bool Query(CallbackPtr cbp, ObjectHandle from) {
  try {
    return Collect(cbp, from);
  } catch (...) {
    gIndex->exhausted = true;
    return false;
  }
}

ObjectHandle FromResults() {
  const auto& results = gIndex->results;
  while (gSearch.position < results.size()) {
    const Entry& e = gIndex->entries[results[gSearch.position]];
    if (e.place != Place::kDead) return e.object;
    ++gSearch.position;
  }
  return 0;
}

bool IndexUsable() { return gIndex != nullptr && !gIndex->exhausted; }

// A step of the walk; past the threshold the pass changes to the index, and
// this search goes on from `next` among the filtered objects.
ObjectHandle WalkTo(CallbackPtr cbp, ObjectHandle next) {
  if (next == 0 || gIndex != nullptr) return next;
  if (++gSearch.steps <= gCandidateIndexThreshold) return next;
  if (!Build(cbp) || !gSearch.boxesUsable || !Query(cbp, next)) return next;
  gSearch.walking = false;
  return FromResults();
}

}  // namespace

void BeginPassCandidates() {
  EndPassCandidates();
  gSearch = Search();
}

void EndPassCandidates() {
  gObjectChangeListener = nullptr;
  delete gIndex;
  gIndex = nullptr;
}

void StartCandidateSearch(CallbackPtr cbp, ObjectHandle visited, IndexKeyFn key, const IndexBox* boxes,
                          int boxCount) {
  gSearch.visited = visited;
  gSearch.key = key;
  gSearch.boxCount = std::min(boxCount, 2);
  gSearch.boxesUsable = gSearch.boxCount > 0;
  for (int b = 0; b < gSearch.boxCount; ++b) {
    gSearch.boxesUsable = gSearch.boxesUsable && Usable(boxes[b]);
    gSearch.boxes[b] = boxes[b];
  }
  gSearch.walking = true;
  gSearch.steps = 0;
}

ObjectHandle FirstCandidate(CallbackPtr cbp, ObjectHandle from) {
  if (IndexUsable() && gSearch.boxesUsable && from != 0 && Query(cbp, from)) {
    gSearch.walking = false;
    return FromResults();
  }
  gSearch.walking = true;
  return WalkTo(cbp, from);
}

ObjectHandle NextCandidate(CallbackPtr cbp, ObjectHandle current) {
  if (gSearch.walking) return WalkTo(cbp, NextObject(cbp, current));
  ++gSearch.position;
  return FromResults();
}

IndexBox BoxOf(const WorldRect& r) { return IndexBox{r.left, r.bottom, r.right, r.top}; }

namespace {
template <typename Point>
IndexBox BoxOfPoints(const Point* points, int count) {
  IndexBox b{points[0].x, points[0].y, points[0].x, points[0].y};
  for (int i = 1; i < count; ++i) {
    // std::min and std::max would drop a NaN; the box must keep it unusable.
    const double x = points[i].x, y = points[i].y;
    if (std::isnan(x) || std::isnan(y)) return IndexBox{x, y, x, y};
    b.minX = x < b.minX ? x : b.minX;
    b.maxX = x > b.maxX ? x : b.maxX;
    b.minY = y < b.minY ? y : b.minY;
    b.maxY = y > b.maxY ? y : b.maxY;
  }
  return b;
}
}  // namespace

IndexBox BoxOf(const WorldPt* points, int count) { return BoxOfPoints(points, count); }
IndexBox BoxOf(const WorldPt3D* points, int count) { return BoxOfPoints(points, count); }

IndexBox BoxAround(const WorldPt& p, double margin) {
  return IndexBox{p.x - margin, p.y - margin, p.x + margin, p.y + margin};
}

IndexBox Grown(const IndexBox& box, double margin) {
  return IndexBox{box.minX - margin, box.minY - margin, box.maxX + margin, box.maxY + margin, box.minZ, box.maxZ};
}

double RoundingMargin(const IndexBox& box) {
  const double largest = std::max({std::fabs(box.minX), std::fabs(box.minY), std::fabs(box.maxX),
                                   std::fabs(box.maxY), 1.0});
  return largest * 1e-12;
}
