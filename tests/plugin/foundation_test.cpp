// The command frame through the real library: actions, the settings record
// as the host sees it, the run sequence, the pass driver and the sweep.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "hostapp/builders.h"
#include "support/plugin_fixture.h"

using namespace hostapp;

namespace {

// The routines of the command frame and the driver, in the order they were
// called; object and dialog routines are left out.
std::vector<std::string> FrameCalls(const Host& host) {
  static const char* const kFrame[] = {
      "ConfirmCommand", "SetCommandMode", "ConvertToWorldLength", "GetHostPoint",
      "SetHostPoint", "SetHostUpdates", "FinishObjectChanges", "RefreshHost",
      "AllocateHandle", "FreeHandle", "AddClass", "DeleteClass", "SetClassState",
      "ForEachObject"};
  std::vector<std::string> out;
  for (const std::string& name : host.CallNames())
    if (std::find(std::begin(kFrame), std::end(kFrame), name) != std::end(kFrame))
      out.push_back(name);
  return out;
}

size_t CountOf(const std::vector<std::string>& calls, const std::string& name) {
  return std::count(calls.begin(), calls.end(), name);
}

class Foundation : public PluginTest {};

TEST_F(Foundation, SetUpFillsDefaultsAndLeavesTheRestOfTheBlock) {
  host.settings.newBlockFill = 0x5A;
  ASSERT_EQ(host.SendAction(1), 0);
  const uint8_t* block = host.SettingsBlock();
  ASSERT_NE(block, nullptr);
  const uint8_t flags[9] = {0, 1, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(std::memcmp(block, flags, 9), 0);
  double t1, t2;
  std::memcpy(&t1, block + 10, 8);
  std::memcpy(&t2, block + 18, 8);
  EXPECT_EQ(t1, 0.01);
  EXPECT_EQ(t2, 0.0001);
  EXPECT_EQ(block[9], 0x5A);
  EXPECT_EQ(block[32], 1);
  for (int i = 36; i < 68; ++i) EXPECT_EQ(block[i], 0x5A) << i;
  EXPECT_EQ(host.SendAction(2), 0);
}

TEST_F(Foundation, SetUpWithoutABlockStoresNoHandle) {
  host.SetMissing(kSelAllocateHandle);
  host.userData = reinterpret_cast<MemHandle>(0x1);  // must be overwritten
  EXPECT_EQ(host.SendAction(1), 0);
  EXPECT_EQ(host.userData, nullptr);
  // Tear-down and a run with no handle call nothing after the go-ahead.
  host.ClearCalls();
  EXPECT_EQ(host.SendAction(2), 0);
  EXPECT_EQ(CountOf(host.CallNames(), "FreeHandle"), 0u);
  EXPECT_EQ(host.SendAction(3), 1);
  EXPECT_EQ(host.CallNames(), std::vector<std::string>{"ConfirmCommand"});
}

TEST_F(Foundation, TearDownFreesTheBlockAndKeepsTheVariable) {
  ASSERT_EQ(host.SendAction(1), 0);
  MemHandle handle = host.userData;
  EXPECT_EQ(host.SendAction(2), 0);
  EXPECT_EQ(host.userData, handle);
  EXPECT_EQ(host.LiveBlocks(), 0u);
  host.userData = nullptr;
}

TEST_F(Foundation, OtherActionsCallNothing) {
  for (int32_t action : {0, 4, 5, 6, 7, -3, 99}) {
    host.ClearCalls();
    EXPECT_EQ(host.SendAction(action), 0) << action;
    EXPECT_TRUE(host.Calls().empty()) << action;
  }
}

TEST_F(Foundation, NoGoAheadEndsTheRunBeforeTheDialog) {
  host.settings.confirm = false;
  host.Add(Point17(1, 1));
  Options options = OnlyPass(2);
  EXPECT_EQ(RunCommand(options), 1);
  EXPECT_EQ(CountOf(host.CallNames(), "CreateLayoutDialog"), 0u);
  EXPECT_EQ(CountOf(host.CallNames(), "ForEachObject"), 0u);
  EXPECT_EQ(host.ObjectCount(), 1u);
}

TEST_F(Foundation, RunSequenceWithNoPassEnabled) {
  Options none;
  std::memset(none.flags, 0, sizeof none.flags);
  none.flags[7] = 1;  // a sub-option alone runs nothing
  host.Add(Point17(1, 1));
  EXPECT_EQ(RunCommand(none), 0);
  const std::vector<std::string> expected = {
      "AllocateHandle", "ConfirmCommand", "SetCommandMode", "ConvertToWorldLength",
      "ConvertToWorldLength", "SetHostUpdates", "AddClass", "SetClassState", "DeleteClass",
      "RefreshHost", "SetHostUpdates", "GetHostPoint", "SetHostPoint", "FreeHandle"};
  EXPECT_EQ(FrameCalls(host), expected);
  EXPECT_TRUE(host.UpdatesOn());
}

TEST_F(Foundation, AllPassesRunNineTraversalsThenOneFinish) {
  Options all;
  std::memset(all.flags, 1, sizeof all.flags);
  EXPECT_EQ(RunCommand(all), 0);
  const std::vector<std::string> calls = FrameCalls(host);
  EXPECT_EQ(CountOf(calls, "ForEachObject"), 9u);
  EXPECT_EQ(CountOf(calls, "FinishObjectChanges"), 1u);
  // Finish comes after the last traversal and before the class goes.
  const auto lastTraversal = std::find(calls.rbegin(), calls.rend(), "ForEachObject");
  const auto finish = std::find(calls.rbegin(), calls.rend(), "FinishObjectChanges");
  EXPECT_LT(finish - calls.rbegin(), lastTraversal - calls.rbegin());
  EXPECT_FALSE(host.FindClass(MarkerClassName()).has_value());
}

TEST_F(Foundation, WithoutAMarkerClassNothingRunsAndTheRunReportsIt) {
  host.settings.addClassFails = true;
  host.Add(Point17(1, 1));
  host.Add(Line(0, 0, 1e-9, 0));
  Options options;
  options.flags[2] = 1;
  EXPECT_EQ(RunCommand(options), 1);
  const std::vector<std::string> calls = FrameCalls(host);
  EXPECT_EQ(CountOf(calls, "ForEachObject"), 0u);
  EXPECT_EQ(CountOf(calls, "DeleteClass"), 1u);
  EXPECT_EQ(CountOf(calls, "RefreshHost"), 1u);
  EXPECT_TRUE(host.UpdatesOn());
  EXPECT_EQ(host.ObjectCount(), 2u);
}

TEST_F(Foundation, ToleranceIsConvertedIntoWorldUnits) {
  // Tolerance 2 of 0.0001 at a scale of 1000 is 0.1 in the drawing.
  host.settings.worldScale = 1000;
  checkPass(OnlyPass(1), {Line(0, 0, 0.05, 0.05), Line(0, 0, 0.2, 0)}, {Line(0, 0, 0.2, 0)});
}

TEST_F(Foundation, NestedMainInsideARoutineLeavesTheOuterCallbackPointer) {
  // While the go-ahead is asked, the host calls main again with action 5 and
  // a dispatcher that serves nothing; the rest of the run must still reach us.
  static HostDispatcher nothing = [](int32_t) -> void* { return nullptr; };
  MemHandle other = nullptr;
  host.SetHook(kSelConfirmCommand, [&] { host.CallMain(5, 0, &other, &nothing); });
  host.Add(Point17(1, 1));
  EXPECT_EQ(RunCommand(OnlyPass(2)), 0);
  EXPECT_EQ(host.ObjectCount(), 0u);
  EXPECT_EQ(CountOf(host.CallNames(), "SetHostPoint"), 1u);
}

TEST_F(Foundation, EverythingMissingEndsAtTheGoAhead) {
  for (int32_t s = 0; s < 1000; ++s) host.SetMissing(s);
  EXPECT_EQ(host.SendAction(1), 0);
  EXPECT_EQ(host.SendAction(3), 1);
  EXPECT_EQ(host.SendAction(2), 0);
  EXPECT_TRUE(host.Calls().empty());
}

// ---- Removing type-17 objects ----

class Type17Removal : public PluginTest {};

TEST_F(Type17Removal, RemovesEveryPointMarkerAndNothingElse) {
  Object classed = Point17(5, 5);
  classed.cls = host.ClassNamed("walls");
  classed.attr.wordA = 7;
  checkPass(OnlyPass(2),
            {Point17(0, 0), Line(0, 0, 1, 1), classed, Point9(1, 2, 3), Box(4, 0, 1, 1, 0),
             Point17(1e9, -1e9)},
            {Line(0, 0, 1, 1), Point9(1, 2, 3), Box(4, 0, 1, 1, 0)});
}

TEST_F(Type17Removal, DeletesWithTheFlagTrueAndReadsOthersOnce) {
  host.Add(Point17(0, 0));
  host.Add(Line(0, 0, 1, 1));
  host.Add(Polyline({{0, 0}, {1, 0}, {1, 1}}));
  RunCommand(OnlyPass(2));
  const std::vector<std::string> expected = {"GetObjectType(1)", "DeleteObject(1, 1)",
                                             "GetObjectType(2)", "GetObjectType(3)"};
  EXPECT_EQ(TraversalCalls(host, 0), expected);
}

TEST_F(Type17Removal, OffByDefault) { checkNoChange(Options{}, {Point17(0, 1), Point17(2, 3)}); }

}  // namespace
