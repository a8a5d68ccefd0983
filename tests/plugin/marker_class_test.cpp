// The marker class when the host hands back a class that already holds the
// user's objects, and the record of what the run itself marked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "attributes/attributes.h"
#include "base/run_globals.h"
#include "base/run_marks.h"
#include "host/host_calls.h"
#include "hostapp/builders.h"
#include "support/plugin_fixture.h"

using namespace hostapp;

namespace {

// Random inserts and erases against a reference set, on handles dense enough
// to collide and many enough to outgrow the static table twice.
TEST(HandleSetTest, AgreesWithAReferenceSetThroughGrowthAndErasure) {
  HandleSet set;
  std::unordered_set<ObjectHandle> reference;
  std::mt19937 random(15);
  const ObjectHandle range = ObjectHandle(HandleSet::kInlineSlots * 5);
  for (int step = 0; step < 200000; ++step) {
    const ObjectHandle h = random() % range;  // 0 included: never a member
    if (random() % 3 != 0) {
      set.Insert(h);
      if (h != 0) reference.insert(h);
    } else {
      set.Erase(h);
      reference.erase(h);
    }
    if (step % 997 == 0) {
      for (ObjectHandle k = 0; k < range; ++k)
        ASSERT_EQ(set.Contains(k), reference.count(k) == 1) << "handle " << k << " step " << step;
    }
  }
  EXPECT_EQ(set.Size(), reference.size());
  EXPECT_GT(set.Size(), HandleSet::kInlineSlots);
  EXPECT_FALSE(set.Overflowed());
  set.Clear();
  EXPECT_EQ(set.Size(), 0u);
  for (ObjectHandle h : reference) EXPECT_FALSE(set.Contains(h));
}

// The host layer notes marks with no host call of its own; a conversion that
// hands back a new handle carries the mark, and an attribute copy passes on
// exactly what its source had.
class RunMarksTest : public ::testing::Test {
 protected:
  Host host;
  ClassId keptMarker = gMarkerClass;
  void SetUp() override {
    gMarkerClass = host.ClassNamed("marker");
    host.settings.convertInPlace = false;
    BeginRunMarks();
  }
  void TearDown() override {
    EndRunMarks();
    gMarkerClass = keptMarker;
  }
};

TEST_F(RunMarksTest, MarksFollowConversionsCopiesAndDeletion) {
  const ObjectHandle marked = host.Add(Polyline({{0, 0}, {1, 0}, {2, 1}}, false, 21));
  const ObjectHandle users = host.Add(InClass(Polyline({{0, 5}, {1, 5}, {2, 6}}, false, 21), gMarkerClass));
  const ObjectHandle arc = host.Add(Arc(0, 0, 1, 0, 200));
  SetObjectClass(host.Cbp(), marked, gMarkerClass);
  SetObjectClass(host.Cbp(), arc, gMarkerClass);
  EXPECT_TRUE(IsRunMark(marked));
  EXPECT_FALSE(IsRunMark(users));

  const ObjectHandle five = ConvertToType5Object(host.Cbp(), marked, 0);
  const ObjectHandle usersFive = ConvertToType5Object(host.Cbp(), users, 0);
  const ObjectHandle poly = ConvertToPolyline(host.Cbp(), arc, 0);
  ASSERT_NE(five, marked);
  ASSERT_NE(poly, arc);
  EXPECT_TRUE(IsRunMark(five));
  EXPECT_TRUE(IsRunMark(poly));
  EXPECT_FALSE(IsRunMark(usersFive));

  // Both copies land in the marker class; only the copy of a marked object is marked.
  const ObjectHandle fromMarked = host.Add(Line(0, 0, 1, 1));
  const ObjectHandle fromUsers = host.Add(Line(0, 0, 1, 2));
  CopyAttributes(host.Cbp(), five, fromMarked);
  CopyAttributes(host.Cbp(), usersFive, fromUsers);
  EXPECT_EQ(host.Get(fromUsers).cls, gMarkerClass);
  EXPECT_TRUE(IsRunMark(fromMarked));
  EXPECT_FALSE(IsRunMark(fromUsers));

  DeleteObject(host.Cbp(), five, 0);
  EXPECT_FALSE(IsRunMark(five));
  EndRunMarks();
  EXPECT_FALSE(IsRunMark(poly));  // nothing outlives the run
}

Options Passes(std::initializer_list<int> flags) {
  Options o;
  std::memset(o.flags, 0, sizeof o.flags);
  for (int f : flags) o.flags[f] = 1;
  o.tolerance1 = 1.0;
  return o;
}

class SharedMarkerClass : public PluginTest {
 protected:
  size_t Count(const std::string& routine) const {
    const auto& names = host.CallNames();
    return size_t(std::count(names.begin(), names.end(), routine));
  }
};

struct SharedCase {
  const char* name;
  Options options;
  std::vector<Object> drawing;   // `kUser` stands for the class named like the marker
  std::vector<Object> expected;
  bool classStays;
};

constexpr ClassId kUser = -1;  // replaced by the id of the user's class

void PrintTo(const SharedCase& c, std::ostream* os) { *os << c.name; }

class SharedMarkerClassCases : public SharedMarkerClass,
                               public ::testing::WithParamInterface<SharedCase> {};

TEST_P(SharedMarkerClassCases, OnlyWhatTheRunMarkedIsSwept) {
  const SharedCase& c = GetParam();
  const ClassId user = host.ClassNamed(MarkerClassName());
  auto inUser = [&](std::vector<Object> objects) {
    for (Object& o : objects)
      if (o.cls == kUser) o.cls = user;
    return objects;
  };
  checkPass(c.options, inUser(c.drawing), inUser(c.expected));
  EXPECT_EQ(host.FindClass(MarkerClassName()).has_value(), c.classStays);
  EXPECT_EQ(Count("DeleteClass"), c.classStays ? 0u : 1u);
}

const SharedCase kSharedCases[] = {
    {"UntouchedUserObjectsStay", Passes({0, 1, 2, 3, 4, 5, 6, 8}),
     {InClass(Line(0, 0, 10, 0), kUser), InClass(Arc(0, 0, 5, 0, 90), kUser)},
     {InClass(Line(0, 0, 10, 0), kUser), InClass(Arc(0, 0, 5, 0, 90), kUser)}, true},
    // Cleaned into a new line: the line keeps the user's class and stays,
    // the replaced polyline goes.
    {"CleanedUserObjectKeepsItsClass", Passes({5}),
     {InClass(Polyline({{0, 0}, {5, 0}, {10, 0}}), kUser)},
     {InClass(Line(0, 0, 10, 0), kUser)}, true},
    // The run's own marks in other classes are still swept.
    {"OwnMarksGoUserObjectsStay", Passes({6}),
     {Line(0, 0, 10, 0), Line(10, 0, 10, 5), InClass(Line(20, 0, 30, 0), kUser)},
     {Polyline({{0, 0}, {10, 0}, {10, 5}}), InClass(Line(20, 0, 30, 0), kUser)}, true},
    // Without a user object in the class the run owns it: swept and deleted.
    {"NoCollisionDeletesTheClass", Passes({6}),
     {Line(0, 0, 10, 0), Line(10, 0, 10, 5)},
     {Polyline({{0, 0}, {10, 0}, {10, 5}})}, false},
};

INSTANTIATE_TEST_SUITE_P(Sweep, SharedMarkerClassCases, ::testing::ValuesIn(kSharedCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The sweep makes the same calls whether or not the class is shared: one
// class read per object and a deletion per own mark.
TEST_F(SharedMarkerClass, SweepCallsAreTheUsualOnes) {
  const ClassId user = host.ClassNamed(MarkerClassName());
  Load({Line(0, 0, 10, 0), Line(10, 0, 10, 5), InClass(Line(20, 0, 30, 0), user)});
  ASSERT_EQ(RunCommand(Passes({6})), 0);
  std::vector<std::string> sweep = TraversalCallNames(host, 1);
  sweep.erase(std::find(sweep.begin(), sweep.end(), "FinishObjectChanges"), sweep.end());
  // The joined polyline, the two pieces, the user's line.
  const std::vector<std::string> expected = {"GetObjectClass", "GetObjectClass", "DeleteObject",
                                             "GetObjectClass", "DeleteObject", "GetObjectClass"};
  EXPECT_EQ(sweep, expected);
}

}  // namespace
