// Attribute transfer and comparison, called directly against the project's host.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "attributes/attributes.h"
#include "hostapp/builders.h"
#include "hostapp/host.h"

using namespace hostapp;

namespace {

using Names = std::vector<std::string>;

enum Flag { kA, kB, kC, kD, kE, kF };

class AttributesTest : public ::testing::Test {
 protected:
  Host host;

  void TearDown() override {
    std::string all;
    for (const std::string& v : host.Violations()) all += v + "\n";
    EXPECT_TRUE(host.Violations().empty()) << all;
  }

  // A line with every attribute set to something other than the default.
  Attributes Full() {
    Attributes a;
    a.wordA = 11;
    a.wordB = -22;
    a.longAttr = 333333;
    a.record[0] = 1;
    a.record[1] = 2;
    a.record[2] = 3;
    a.record[3] = 4;
    for (uint8_t& f : a.flags) f = 1;
    a.group = 77;
    return a;
  }
  ObjectHandle AddLine(const Attributes& a, ClassId cls = 0) {
    return host.Add(InClass(WithAttr(Line(0, 0, 1, 1), a), cls));
  }
};

TEST_F(AttributesTest, ZeroHandleMakesNoHostCall) {
  const ObjectHandle h = AddLine(Full());
  host.ClearCalls();
  CopyAttributes(host.Cbp(), 0, h);
  CopyAttributes(host.Cbp(), h, 0);
  CopyAttributes(host.Cbp(), 0, 0);
  EXPECT_EQ(RememberAttributes(host.Cbp(), 0), 0);
  EXPECT_EQ(MatchesRememberedAttributes(host.Cbp(), 0), 0);
  EXPECT_TRUE(host.Calls().empty());
}

TEST_F(AttributesTest, CopyReadsAndWritesInOrder) {
  const ClassId cls = host.ClassNamed("doors");
  const ObjectHandle src = AddLine(Full(), cls);
  const ObjectHandle dst = AddLine(Attributes{});
  host.ClearCalls();
  CopyAttributes(host.Cbp(), src, dst);
  const Names expected = {
      "CopyObjectAttributes", "GetObjectWordAttrA", "SetObjectWordAttrA", "GetObjectLongAttr",
      "SetObjectLongAttr",    "GetObjectWordAttrB", "SetObjectWordAttrB", "GetObjectAttrRecord",
      "SetObjectAttrRecord",  "GetObjectClass",     "SetObjectClass",     "GetObjectFlagC",
      "SetObjectFlagC",       "GetObjectFlagB",     "SetObjectFlagB",     "GetObjectFlagF",
      "SetObjectFlagF",       "GetObjectFlagE",     "SetObjectFlagE",     "GetObjectFlagD",
      "SetObjectFlagD",       "GetObjectFlagA",     "SetObjectFlagA"};
  EXPECT_EQ(host.CallNames(), expected);
  const Attributes& got = host.Get(dst).attr;
  EXPECT_EQ(got.wordA, 11);
  EXPECT_EQ(got.wordB, -22);
  EXPECT_EQ(got.longAttr, 333333);
  EXPECT_EQ(got.group, 77);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(got.record[i], i + 1) << i;
  for (int f = kA; f <= kF; ++f) EXPECT_NE(got.flags[f], 0) << f;
  EXPECT_EQ(host.Get(dst).cls, cls);
}

TEST_F(AttributesTest, FlagOffOnTheSourceLeavesTheDestinationAlone) {
  Attributes src = Full();
  src.flags[kB] = 0;
  src.flags[kE] = 0;
  Attributes dst{};
  dst.flags[kB] = 1;
  const ObjectHandle s = AddLine(src);
  const ObjectHandle d = AddLine(dst);
  host.ClearCalls();
  CopyAttributes(host.Cbp(), s, d);
  const Names tail(host.CallNames().end() - 10, host.CallNames().end());
  const Names expectedTail = {"GetObjectFlagC", "SetObjectFlagC", "GetObjectFlagB",
                              "GetObjectFlagF", "SetObjectFlagF", "GetObjectFlagE",
                              "GetObjectFlagD", "SetObjectFlagD", "GetObjectFlagA",
                              "SetObjectFlagA"};
  EXPECT_EQ(tail, expectedTail);
  EXPECT_NE(host.Get(d).attr.flags[kB], 0);
  EXPECT_EQ(host.Get(d).attr.flags[kE], 0);
}

TEST_F(AttributesTest, RememberReadsInOrder) {
  const ObjectHandle h = AddLine(Full());
  host.ClearCalls();
  EXPECT_NE(RememberAttributes(host.Cbp(), h), 0);
  const Names expected = {"GetObjectWordAttrA", "GetObjectClass", "GetObjectAttrRecord",
                          "GetObjectWordAttrB", "GetObjectFlagE", "GetObjectFlagD"};
  EXPECT_EQ(host.CallNames(), expected);
}

// One difference from the remembered object, and the reads it takes to find it.
struct MatchCase {
  const char* name;
  void (*change)(Attributes&);
  bool changeClass;
  bool matches;
  Names reads;
};

TEST_F(AttributesTest, MatchStopsAtTheFirstDifference) {
  const Names all = {"GetObjectWordAttrA", "GetObjectClass", "GetObjectAttrRecord",
                     "GetObjectWordAttrB", "GetObjectFlagE", "GetObjectFlagD"};
  const MatchCase cases[] = {
      {"identical", [](Attributes&) {}, false, true, all},
      {"word A", [](Attributes& a) { a.wordA = 12; }, false, false, {"GetObjectWordAttrA"}},
      {"class", [](Attributes&) {}, true, false, {"GetObjectWordAttrA", "GetObjectClass"}},
      {"record byte 0 ignored", [](Attributes& a) { a.record[0] = 99; }, false, true, all},
      {"record byte 1 ignored", [](Attributes& a) { a.record[1] = 99; }, false, true, all},
      {"record byte 2", [](Attributes& a) { a.record[2] = 99; }, false, false,
       {"GetObjectWordAttrA", "GetObjectClass", "GetObjectAttrRecord"}},
      {"record byte 3", [](Attributes& a) { a.record[3] = 99; }, false, false,
       {"GetObjectWordAttrA", "GetObjectClass", "GetObjectAttrRecord"}},
      {"word B", [](Attributes& a) { a.wordB = 0; }, false, false,
       {"GetObjectWordAttrA", "GetObjectClass", "GetObjectAttrRecord", "GetObjectWordAttrB"}},
      {"flag E as a byte", [](Attributes& a) { a.flags[kE] = 2; }, false, false,
       {"GetObjectWordAttrA", "GetObjectClass", "GetObjectAttrRecord", "GetObjectWordAttrB",
        "GetObjectFlagE"}},
      {"flag D as a byte", [](Attributes& a) { a.flags[kD] = 2; }, false, false, all},
      {"long attribute not compared", [](Attributes& a) { a.longAttr = 5; }, false, true, all},
      {"flags A, B, C, F not compared",
       [](Attributes& a) { a.flags[kA] = a.flags[kB] = a.flags[kC] = a.flags[kF] = 0; }, false,
       true, all},
  };
  const ClassId cls = host.ClassNamed("walls");
  const ClassId other = host.ClassNamed("doors");
  const ObjectHandle remembered = AddLine(Full(), cls);
  for (const MatchCase& c : cases) {
    SCOPED_TRACE(c.name);
    Attributes a = Full();
    c.change(a);
    const ObjectHandle candidate = AddLine(a, c.changeClass ? other : cls);
    ASSERT_NE(RememberAttributes(host.Cbp(), remembered), 0);
    host.ClearCalls();
    EXPECT_EQ(MatchesRememberedAttributes(host.Cbp(), candidate) != 0, c.matches);
    EXPECT_EQ(host.CallNames(), c.reads);
  }
}

TEST_F(AttributesTest, SnapshotKeepsTheBytesTheHostAnswered) {
  Attributes a{};
  a.flags[kE] = 2;
  const ObjectHandle remembered = AddLine(a);
  Attributes b{};
  b.flags[kE] = 1;
  const ObjectHandle one = AddLine(b);
  const ObjectHandle two = AddLine(a);
  ASSERT_NE(RememberAttributes(host.Cbp(), remembered), 0);
  EXPECT_EQ(MatchesRememberedAttributes(host.Cbp(), one), 0);
  EXPECT_NE(MatchesRememberedAttributes(host.Cbp(), two), 0);
}

TEST_F(AttributesTest, RememberOfZeroKeepsTheSnapshot) {
  const ObjectHandle remembered = AddLine(Full());
  const ObjectHandle plain = AddLine(Attributes{});
  ASSERT_NE(RememberAttributes(host.Cbp(), remembered), 0);
  EXPECT_EQ(RememberAttributes(host.Cbp(), 0), 0);
  EXPECT_NE(MatchesRememberedAttributes(host.Cbp(), remembered), 0);
  EXPECT_EQ(MatchesRememberedAttributes(host.Cbp(), plain), 0);
}

}  // namespace
