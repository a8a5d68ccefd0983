// ForEachObject and NextObject while the visited object, its successor or
// others are deleted, replaced or created.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "host_test_support.h"
#include "hostapp/builders.h"

using namespace hostapp;
using hostapp_test::AllViolations;
using hostapp_test::Routine;

namespace {

// What the traversal callback does at each visit; tests set it.
std::function<void(ObjectHandle)> gVisit;
std::vector<ObjectHandle> gVisited;

void Del(ObjectHandle o) { Routine<DeleteObjectFn>(kSelDeleteObject)(o, 1); }

void Visit(ObjectHandle o, CallbackPtr) {
  gVisited.push_back(o);
  if (gVisit) gVisit(o);
}

class Traversal : public ::testing::Test {
 protected:
  void SetUp() override {
    gVisit = nullptr;
    gVisited.clear();
    for (int i = 0; i < 5; ++i) h.push_back(host.Add(Line(i, 0, i + 1, 0)));
  }
  void TearDown() override { EXPECT_TRUE(host.Violations().empty()) << AllViolations(host); }
  void Run() { Routine<ForEachObjectFn>(kSelForEachObject)(38, &Visit, 0, host.Cbp()); }
  void Delete(ObjectHandle o) { Del(o); }
  ObjectHandle Next(ObjectHandle o) { return Routine<NextObjectFn>(kSelNextObject)(o); }
  ObjectHandle NewLine() {
    const HostWorldPt a = Pt(9, 9), b = Pt(10, 10);
    return Routine<CreateLineFn>(kSelCreateLine)(&a, &b);
  }

  Host host;
  std::vector<ObjectHandle> h;
};

using Handles = std::vector<ObjectHandle>;

TEST_F(Traversal, VisitsEveryObjectOnceInOrder) {
  Run();
  EXPECT_EQ(gVisited, h);
}

TEST_F(Traversal, DeletionDuringAVisitNeverLosesTheRest) {
  struct Case {
    const char* name;
    std::function<void(ObjectHandle)> act;  // at the visit of h[1]
    Handles visited;
    Handles left;
  };
  const std::vector<Case> cases = {
      {"visited", [](ObjectHandle o) { Del(o); }, {1, 2, 3, 4, 5}, {1, 3, 4, 5}},
      {"saved next", [](ObjectHandle) { Del(3); }, {1, 2, 4, 5}, {1, 2, 4, 5}},
      {"visited then next",
       [](ObjectHandle o) {
         Del(o);
         Del(3);
       },
       {1, 2, 4, 5},
       {1, 4, 5}},
      {"next then visited",
       [](ObjectHandle o) {
         Del(3);
         Del(o);
       },
       {1, 2, 4, 5},
       {1, 4, 5}},
      {"visited and the two after it",
       [](ObjectHandle o) {
         Del(o);
         Del(3);
         Del(4);
       },
       {1, 2, 5},
       {1, 5}},
      {"everything after it",
       [](ObjectHandle) {
         for (ObjectHandle x : {3u, 4u, 5u}) Del(x);
       },
       {1, 2},
       {1, 2}},
      {"an earlier object", [](ObjectHandle) { Del(1); }, {1, 2, 3, 4, 5}, {2, 3, 4, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Host fresh;
    for (int i = 0; i < 5; ++i) fresh.Add(Line(i, 0, i + 1, 0));
    gVisited.clear();
    gVisit = [&](ObjectHandle o) {
      if (o == 2) c.act(o);
    };
    Routine<ForEachObjectFn>(kSelForEachObject)(38, &Visit, 0, fresh.Cbp());
    EXPECT_EQ(gVisited, c.visited);
    EXPECT_EQ(fresh.Objects(), c.left);
    EXPECT_TRUE(fresh.Violations().empty()) << AllViolations(fresh);
  }
  host.Activate();
}

TEST_F(Traversal, ReclassingTheVisitedObjectKeepsTheOrder) {
  const ClassId marker = host.ClassNamed("marker");
  gVisit = [&](ObjectHandle o) { Routine<SetObjectClassFn>(kSelSetObjectClass)(o, marker); };
  Run();
  EXPECT_EQ(gVisited, h);
  for (ObjectHandle o : h) EXPECT_EQ(host.Get(o).cls, marker);
}

TEST_F(Traversal, CreatedObjectsGoBeforeTheVisitedOneAndAreNotMet) {
  ObjectHandle created = 0;
  Handles walk;
  gVisit = [&](ObjectHandle o) {
    if (o != h[2]) return;
    created = NewLine();
    for (ObjectHandle n = Next(o); n != 0; n = Next(n)) walk.push_back(n);
  };
  Run();
  EXPECT_EQ(gVisited, h);
  EXPECT_EQ(walk, (Handles{h[3], h[4]}));
  EXPECT_EQ(host.Objects(), (Handles{h[0], h[1], created, h[2], h[3], h[4]}));
}

TEST_F(Traversal, CreatedAfterTheVisitedObjectWasDeletedGoesBeforeItsSuccessor) {
  ObjectHandle created = 0;
  gVisit = [&, first = true](ObjectHandle o) mutable {
    if (o != h[1] || !first) return;
    first = false;
    Delete(o);
    created = NewLine();
  };
  Run();
  EXPECT_EQ(gVisited, h);
  EXPECT_EQ(host.Objects(), (Handles{h[0], created, h[2], h[3], h[4]}));
}

TEST_F(Traversal, NewObjectsGoWhereTheSettingSays) {
  using Place = Host::NewObjectPlace;
  enum Fate { kKept, kDeleted, kReplaced };
  // Order after the visit of h[2]: indices into h, kNew for the created line,
  // kStandIn for the handle that replaced h[2].
  constexpr int kNew = -1, kStandIn = -2;
  struct Case {
    Place place;
    Fate fate;
    std::vector<int> order;
  };
  const std::vector<Case> cases = {
      {Place::kBeforeVisited, kKept, {0, 1, kNew, 2, 3, 4}},
      {Place::kAfterVisited, kKept, {0, 1, 2, kNew, 3, 4}},
      {Place::kAtEnd, kKept, {0, 1, 2, 3, 4, kNew}},
      {Place::kBeforeVisited, kDeleted, {0, 1, kNew, 3, 4}},
      {Place::kAfterVisited, kDeleted, {0, 1, kNew, 3, 4}},
      {Place::kAtEnd, kDeleted, {0, 1, 3, 4, kNew}},
      {Place::kBeforeVisited, kReplaced, {0, 1, kNew, kStandIn, 3, 4}},
      {Place::kAfterVisited, kReplaced, {0, 1, kStandIn, kNew, 3, 4}},
      {Place::kAtEnd, kReplaced, {0, 1, kStandIn, 3, 4, kNew}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "place " << int(c.place) << ", fate " << c.fate);
    Host fresh;
    Handles f;
    for (int i = 0; i < 5; ++i) f.push_back(fresh.Add(i == 2 ? Arc(0, 0, 1, 0, 90) : Line(i, 0, i + 1, 0)));
    fresh.settings.newObjects = c.place;
    fresh.settings.convertInPlace = false;
    ObjectHandle created = 0, standIn = 0;
    gVisited.clear();
    gVisit = [&](ObjectHandle o) {
      if (o != f[2]) return;
      if (c.fate == kDeleted) Del(o);
      if (c.fate == kReplaced) standIn = Routine<ConvertToPolylineFn>(kSelConvertToPolyline)(o, 0);
      created = NewLine();
    };
    Routine<ForEachObjectFn>(kSelForEachObject)(38, &Visit, 0, fresh.Cbp());
    Handles expected;
    for (int i : c.order) expected.push_back(i == kNew ? created : i == kStandIn ? standIn : f[i]);
    EXPECT_EQ(fresh.Objects(), expected);
    EXPECT_EQ(gVisited, f);  // the new object is never visited
    EXPECT_TRUE(fresh.Violations().empty()) << AllViolations(fresh);
  }
  host.Activate();
}

TEST_F(Traversal, OutsideATraversalCreatedObjectsAreAppended) {
  const ObjectHandle created = NewLine();
  EXPECT_EQ(host.Objects().back(), created);
  EXPECT_EQ(Next(h[4]), created);
  EXPECT_EQ(Next(created), 0u);
}

TEST_F(Traversal, ObjectsAddedDuringATraversalAreNotVisited) {
  gVisit = [&](ObjectHandle o) {
    if (o == h[0]) host.Add(Point17(0, 0));
  };
  Run();
  EXPECT_EQ(gVisited, h);
  EXPECT_EQ(host.ObjectCount(), 6u);
}

TEST_F(Traversal, ReplacementHandlesTakeTheOldPlace) {
  // h[1] and h[3] become arcs; converting them with new handles replaces them.
  for (ObjectHandle o : {h[1], h[3]}) host.Edit(o) = Arc(0, 0, 1, 0, 90);
  host.settings.convertInPlace = false;
  ObjectHandle visitedReplacement = 0, laterReplacement = 0;
  gVisit = [&](ObjectHandle o) {
    if (o == h[1]) {
      visitedReplacement = Routine<ConvertToPolylineFn>(kSelConvertToPolyline)(o, 0);
      laterReplacement = Routine<ConvertToPolylineFn>(kSelConvertToPolyline)(h[3], 0);
    }
  };
  Run();
  ASSERT_NE(visitedReplacement, 0u);
  ASSERT_NE(laterReplacement, 0u);
  EXPECT_NE(visitedReplacement, h[1]);
  EXPECT_FALSE(host.Alive(h[1]));
  EXPECT_FALSE(host.Alive(h[3]));
  // The visited one is not visited again; the later one is visited through its new handle.
  EXPECT_EQ(gVisited, (Handles{h[0], h[1], h[2], laterReplacement, h[4]}));
  EXPECT_EQ(host.Objects(), (Handles{h[0], visitedReplacement, h[2], laterReplacement, h[4]}));
}

TEST_F(Traversal, NextObjectWalksTheOrderAndRejectsDeadHandles) {
  Delete(h[2]);
  EXPECT_EQ(Next(h[1]), h[3]);
  EXPECT_EQ(Next(h[4]), 0u);
  EXPECT_EQ(Next(h[2]), 0u);
  ASSERT_EQ(host.Violations().size(), 1u);
  host.ClearViolations();
}

}  // namespace
