// Runs of the whole command against a host that lacks a routine or answers
// badly: whatever fails, the run keeps to the host contract, cleans up after
// itself and loses no object that no enabled pass removes.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fuzz/run_audit.h"
#include "hostapp/builders.h"
#include "support/plugin_fixture.h"

namespace {

using hostapp::Host;
using hostapp::Object;
using namespace hostapp;  // builders

// One of every kind the passes read, arranged so that each pass has work:
// lines that join and overlap, duplicates, arcs, tidy-able and reducible
// vertex lists, 3D objects, points and bounds-only objects.
std::vector<Object> EveryKindDrawing(ClassId layer) {
  return {
      Line(0, 0, 10, 0),
      Line(10, 0, 10, 5),
      Arc(10, 6, 1, 270, 90),
      Line(20, 0, 30, 0),
      Line(30, 0, 20, 0),
      Line(40, 0, 50, 0),
      Line(45, 0, 60, 0),
      Arc(0, 20, 5, 0, 90),
      Arc(0, 20, 5, 45, 90),
      Arc(0, 20, 5, 200, -60),
      EllipticArc(11, 6, 1, 2, 0, 170),
      Polyline({{0, 10}, {5, 10}, {10, 10.001}, {10, 15}, {0, 10}}),
      Polyline({{20, 10}, {25, 10}, {25, 15}, {20, 15}}, false, 21),
      Polyline({{30, 10}, {35, 12, 3, 2.5}, {40, 10}}, false, 21),
      Polyline({{10, 15}, {10, 20}}),
      Polyline({{50, 10}}),
      Polyline({}),
      Poly3D({{1, 2, 3}, {4, 5, 6}}),
      Poly3D({{0, 0, 0}, {1, 0, 1}, {1, 1, 2}, {0, 1, 3}}, true),
      Poly3D({{7, 7, 7}}),
      Point17(3, 3),
      Point17(3, 3),
      Point9(1, 1, 1),
      Point9(1, 1, 1),
      Face15({0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, 4),
      Face15({0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, 4),
      Box10(0, 5, 5, 0, 9),
      Box10(0, 5, 5, 0, 9),
      Box(3, 0, 1, 1, 0),
      Box(4, 2, 3, 3, 2),
      Box(7, 0, 2, 2, 0),
      Line(70, 70, 70.00001, 70),
      InClass(Line(80, 0, 90, 0), layer),
      InClass(Line(90, 0, 95, 5), layer),
  };
}

struct OptionSet {
  const char* name;
  uint8_t flags[9];
};

// Every pass; the passes that remove only a few kinds; degenerate removal
// alone (which must spare types 9 and 17); no pass at all.
const OptionSet kOptionSets[] = {
    {"AllPasses", {1, 1, 1, 1, 1, 1, 1, 1, 1}},
    {"NarrowPasses", {1, 0, 0, 0, 0, 1, 1, 0, 1}},
    {"SizeOnly", {0, 1, 0, 0, 0, 0, 0, 0, 0}},
    {"NoPass", {0, 0, 0, 0, 0, 0, 0, 1, 0}},
};

// A host that makes no dialog must not be handed items for dialog 0.
class DialogNotMade : public PluginTest {};

TEST_F(DialogNotMade, StopsTheRunBeforeAnyItem) {
  Load({Line(0, 0, 0, 0)});
  host.SetMissing(kSelCreateLayoutDialog);
  EXPECT_EQ(RunCommand(Options{}), 1);
  EXPECT_EQ(host.ObjectCount(), 1u);
  for (const std::string& name : host.CallNames()) EXPECT_NE(name, "CreateCheckBox");
}

class FaultInjection : public PluginTest {
 protected:
  // The audit replaces the fixture's own checks: with FreeHandle missing a
  // block necessarily stays allocated.
  void TearDown() override {}

  void RunAndAudit(const OptionSet& set, const std::function<void(Host&)>& fault,
                   runaudit::RunFacts facts = {}) {
    const ClassId layer = host.ClassNamed("Walls");
    Load(EveryKindDrawing(layer));
    const runaudit::Snapshot before = runaudit::Take(host);
    fault(host);
    host.settings.logCalls = false;  // as front ends run: the log must change nothing

    Options options;
    std::copy(std::begin(set.flags), std::end(set.flags), options.flags);
    options.tolerance1 = 1.0;
    facts.result = RunCommand(options);
    std::copy(std::begin(set.flags), std::end(set.flags), facts.flags);
    facts.drawingClasses = {layer};

    for (const std::string& p : runaudit::Audit(host, before, facts)) ADD_FAILURE() << p;
  }
};

// ---- every routine missing in turn ----

class MissingRoutine
    : public FaultInjection,
      public ::testing::WithParamInterface<std::tuple<runaudit::HostRoutine, OptionSet>> {};

TEST_P(MissingRoutine, RunKeepsContractAndLosesNothing) {
  const auto& [routine, set] = GetParam();
  runaudit::RunFacts facts;
  facts.deleteClassMissing = routine.selector == kSelDeleteClass;
  facts.freeHandleMissing = routine.selector == kSelFreeHandle;
  facts.objectTypeMissing = routine.selector == kSelGetObjectType;
  const int32_t selector = routine.selector;
  RunAndAudit(set, [selector](Host& h) { h.SetMissing(selector); }, facts);
}

INSTANTIATE_TEST_SUITE_P(
    EveryRoutine, MissingRoutine,
    ::testing::Combine(::testing::ValuesIn(runaudit::kHostRoutines), ::testing::ValuesIn(kOptionSets)),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    });

// ---- routines that answer badly ----

struct HostFault {
  const char* name;
  std::function<void(Host&)> apply;
};

const HostFault kHostFaults[] = {
    {"CreateLineAnswers0", [](Host& h) { h.settings.createLineFails = true; }},
    {"CreatePolylineAnswers0", [](Host& h) { h.settings.createPolylineFails = true; }},
    {"ConvertToPolylineAnswers0", [](Host& h) { h.settings.convertToPolylineFails = true; }},
    {"ConvertToType5Answers0", [](Host& h) { h.settings.convertToType5Fails = true; }},
    {"AddClassAnswers0", [](Host& h) { h.settings.addClassFails = true; }},
    {"AllocateHandleAnswers0", [](Host& h) { h.settings.allocateFails = true; }},
    {"ConversionsReplaceHandles", [](Host& h) { h.settings.convertInPlace = false; }},
    {"BooleansAnsweredAs2", [](Host& h) { h.settings.trueValue = 2; }},
    {"NewPolylinesAreType21", [](Host& h) { h.settings.newPolylineType = 21; }},
    {"EverythingAtOnce",
     [](Host& h) {
       h.settings.createLineFails = true;
       h.settings.convertToPolylineFails = true;
       h.settings.convertInPlace = false;
       h.settings.trueValue = 2;
     }},
};

class BadAnswer : public FaultInjection,
                  public ::testing::WithParamInterface<std::tuple<HostFault, OptionSet>> {};

TEST_P(BadAnswer, RunKeepsContractAndLosesNothing) {
  const auto& [fault, set] = GetParam();
  RunAndAudit(set, fault.apply);
}

INSTANTIATE_TEST_SUITE_P(
    EveryFault, BadAnswer,
    ::testing::Combine(::testing::ValuesIn(kHostFaults), ::testing::ValuesIn(kOptionSets)),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    });

// The audit itself must see a loss: a pass that is off cannot account for one.
TEST(RunAudit, BlamesAVanishedObjectOnNoDisabledPass) {
  Host host;
  const ObjectHandle kept = host.Add(Point9(0, 0, 0));
  const ObjectHandle gone = host.Add(Point17(1, 1));
  const runaudit::Snapshot before = runaudit::Take(host);
  host.Remove(gone);
  runaudit::RunFacts facts;
  facts.flags[2] = 1;  // removal of type 17 accounts for it
  EXPECT_TRUE(runaudit::Audit(host, before, facts).empty());
  facts.flags[2] = 0;
  facts.flags[1] = 1;  // degenerate removal never takes type 17
  EXPECT_EQ(runaudit::Audit(host, before, facts).size(), 1u);
  host.Edit(kept).point3d.x = 5;
  facts.flags[1] = 0;  // no pass at all: any change is a fault
  EXPECT_EQ(runaudit::Audit(host, before, facts).size(), 3u);
}

}  // namespace
