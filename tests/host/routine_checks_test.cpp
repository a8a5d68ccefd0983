// The checks the drawing routines and the dialog engine share: a violation
// reads "Routine: what" on either side, a text is taken exactly when its
// terminator lies within the 256-byte buffer, and true is the host's byte.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host_test_support.h"
#include "hostapp/builders.h"
#include "hostapp/dialog_engine.h"
#include "hostapp/routine_checks.h"

using namespace hostapp;
using hostapp_test::AllViolations;
using hostapp_test::Routine;

namespace {

class RoutineChecks : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog = Routine<CreateLayoutDialogFn>(kSelCreateLayoutDialog)("T", 1, "A", "C");
    Routine<CreateEditRealFn>(kSelCreateEditReal)(dialog, 13, 1, 0.5, 16);
  }
  Host host;
  DialogId dialog = 0;
};

TEST_F(RoutineChecks, AViolationReadsTheSameOnEitherSide) {
  struct Case {
    const char* name;
    std::function<void()> call;
    const char* report;
  } cases[] = {
      {"null out length (drawing)",
       [] { Routine<ConvertToWorldLengthFn>(kSelConvertToWorldLength)(1.0, nullptr); },
       "ConvertToWorldLength: null out length"},
      {"unknown object (drawing)", [] { Routine<GetObjectTypeFn>(kSelGetObjectType)(999); },
       "GetObjectType: dead or unknown object 999"},
      {"null value address (dialog)",
       [&] { Routine<GetEditRealFn>(kSelGetEditReal)(dialog, 13, 1, nullptr); },
       "GetEditReal: null value address"},
      {"null text (dialog)",
       [&] { Routine<CreateCheckBoxFn>(kSelCreateCheckBox)(dialog, 3, nullptr); },
       "CreateCheckBox: null text"},
      {"unknown dialog (dialog)",
       [] { Routine<SetBooleanItemFn>(kSelSetBooleanItem)(9, 3, 1); },
       "SetBooleanItem: unknown dialog 9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host.ClearViolations();
    c.call();
    EXPECT_EQ(host.Violations(), std::vector<std::string>{c.report}) << AllViolations(host);
  }
}

TEST_F(RoutineChecks, ATextIsTakenWhenItEndsWithinItsBuffer) {
  char text[kHostTextBufferSize + 8];
  struct Case {
    size_t terminatorAt;
    bool taken;
  } cases[] = {{0, true}, {1, true}, {kHostTextBufferSize - 1, true}, {kHostTextBufferSize, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.terminatorAt);
    std::memset(text, 'x', sizeof text);
    text[c.terminatorAt] = '\0';
    EXPECT_EQ(TextEnd(text), c.taken ? text + c.terminatorAt : nullptr);
    // Both sides take the same texts: a class name, and an item's help text.
    host.ClearViolations();
    Routine<AddClassFn>(kSelAddClass)(text);
    EXPECT_EQ(host.Violations().empty(), c.taken) << AllViolations(host);
    host.ClearViolations();
    Routine<SetItemHelpTextFn>(kSelSetItemHelpText)(dialog, 13, text);
    EXPECT_EQ(host.Violations().empty(), c.taken) << AllViolations(host);
  }
  EXPECT_EQ(TextEnd(nullptr), nullptr);
}

TEST_F(RoutineChecks, TrueIsTheHostsByteOnEitherSide) {
  host.settings.trueValue = 7;
  const ObjectHandle closed = host.Add(Polyline({{0, 0}, {1, 0}, {1, 1}}, true));
  EXPECT_EQ(Routine<IsPolyClosedFn>(kSelIsPolyClosed)(closed), 7);
  SetVerifyLayoutAnswer(true);
  EXPECT_EQ(Routine<VerifyLayoutFn>(kSelVerifyLayout)(dialog), 7);
  SetVerifyLayoutAnswer(false);
  EXPECT_EQ(Routine<VerifyLayoutFn>(kSelVerifyLayout)(dialog), 0);
  EXPECT_TRUE(host.Violations().empty()) << AllViolations(host);
}

}  // namespace
