// The host's dialog engine on its own: a small dialog built through the
// dispatcher, a recording handler, and the contract checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hostapp/dialog_engine.h"
#include "hostapp/host.h"

using namespace hostapp;

namespace {

template <typename Fn>
Fn Routine(int32_t selector) {
  return reinterpret_cast<Fn>(Dispatch(selector));
}

struct Seen {
  int32_t item;
  int32_t data;
};

// What the recording handler saw, and what it reads from field 13.
struct HandlerLog {
  std::vector<Seen> events;
  std::vector<std::optional<double>> field13;
  bool disableBox4AtSetUp = false;
};

void RecordingHandler(DialogId d, int32_t* itemHit, int32_t* data, void* userData) {
  auto& log = *static_cast<HandlerLog*>(userData);
  log.events.push_back({*itemHit, *data});
  if (*itemHit == kDialogSetupEvent && log.disableBox4AtSetUp)
    Routine<EnableItemFn>(kSelEnableItem)(d, 4, 0);
  if (*itemHit == 13) {
    double v = -1;
    if (Routine<GetEditRealFn>(kSelGetEditReal)(d, 13, 1, &v)) log.field13.push_back(v);
    else log.field13.push_back(std::nullopt);
  }
}

class DialogEngine : public ::testing::Test {
 protected:
  void SetUp() override { ResetDialogEngine(); }

  // Title "T"; check boxes 3 and 4, label 12, field 13 right of it; laid out
  // 3, 4 below, 12 below 4 indented by 2, 13 right of 12.
  DialogId Build(bool layOut = true) {
    DialogId d = Routine<CreateLayoutDialogFn>(kSelCreateLayoutDialog)("T", 1, "Go", "Stop");
    Routine<CreateCheckBoxFn>(kSelCreateCheckBox)(d, 3, "Three");
    Routine<CreateCheckBoxFn>(kSelCreateCheckBox)(d, 4, "Four");
    Routine<CreateStaticTextFn>(kSelCreateStaticText)(d, 12, "Size:", 18);
    Routine<CreateEditRealFn>(kSelCreateEditReal)(d, 13, 1, 0.25, 16);
    if (layOut) {
      Routine<SetFirstLayoutItemFn>(kSelSetFirstLayoutItem)(d, 3);
      Routine<PlaceItemBelowFn>(kSelPlaceItemBelow)(d, 3, 4, 0, 0);
      Routine<PlaceItemBelowFn>(kSelPlaceItemBelow)(d, 4, 12, 2, 0);
      Routine<PlaceItemRightFn>(kSelPlaceItemRight)(d, 12, 13, 0, 0);
    }
    return d;
  }
  int32_t RunDialog(DialogId d, HandlerLog& log) {
    return Routine<RunLayoutDialogFn>(kSelRunLayoutDialog)(d, &RecordingHandler, &log);
  }
  bool Violated(const std::string& part) const {
    for (const std::string& v : host.Violations())
      if (v.find(part) != std::string::npos) return true;
    return false;
  }

  Host host;
};

TEST(FieldText, OnlyAWholeFiniteNumberIsAValue) {
  struct Case {
    const char* text;
    std::optional<double> value;
  } cases[] = {
      {"0.01", 0.01},  {" 2.5\t", 2.5}, {"+3", 3.0},          {"-1e-3", -0.001},
      {"", std::nullopt},    {"  ", std::nullopt},   {"abc", std::nullopt},
      {"1.5x", std::nullopt}, {"1,5", std::nullopt}, {"0.0.1", std::nullopt},
      {"inf", std::nullopt}, {"nan", std::nullopt},  {"1e999", std::nullopt},
      {"++1", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseFieldText(c.text), c.value) << '"' << c.text << '"';
}

TEST(FieldText, ShowsAValueSoThatItReadsBackExactly) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {{0.01, "0.01"}, {0.0001, "0.0001"}, {1e-20, "1e-20"}, {-12.5, "-12.5"},
               {1e300, "1e+300"}};
  for (const Case& c : cases) {
    EXPECT_EQ(FieldTextOf(c.value), c.text);
    EXPECT_EQ(ParseFieldText(FieldTextOf(c.value)), c.value);
  }
}

TEST_F(DialogEngine, WithoutAScriptSetsUpAndAccepts) {
  HandlerLog log;
  const DialogId d = Build();
  EXPECT_EQ(RunDialog(d, log), kDialogItemAccept);
  ASSERT_EQ(log.events.size(), 1u);
  EXPECT_EQ(log.events[0].item, kDialogSetupEvent);
  EXPECT_TRUE(host.Violations().empty());
}

TEST_F(DialogEngine, PlaysTheScriptAsAUserCould) {
  HandlerLog log;
  log.disableBox4AtSetUp = true;
  const DialogId d = Build();
  QueueDialogScript({{Click(4, true), Click(3, true), TypeText(13, "2.5"), TypeText(13, "x"),
                      Click(13, true), TypeText(3, "1"), Click(7, true)},
                     kDialogItemCancel});
  EXPECT_EQ(RunDialog(d, log), kDialogItemCancel);

  const std::vector<std::pair<int32_t, int32_t>> expected = {
      {kDialogSetupEvent, 0}, {3, 1}, {13, 0}, {13, 0}};
  ASSERT_EQ(log.events.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(log.events[i].item, expected[i].first) << i;
    EXPECT_EQ(log.events[i].data, expected[i].second) << i;
  }
  EXPECT_EQ(log.field13, (std::vector<std::optional<double>>{2.5, std::nullopt}));
  const DialogRecord& r = *LastDialog();
  EXPECT_EQ(r.ignoredEvents,
            (std::vector<std::string>{"click 4: item disabled", "click 13: wrong kind of item",
                                      "text 3: wrong kind of item", "click 7: no such item"}));
  EXPECT_TRUE(r.Find(3)->checked);
  EXPECT_FALSE(r.Find(4)->checked);
  EXPECT_EQ(r.Find(13)->fieldText, "x");
}

TEST_F(DialogEngine, ADisabledAcceptCannotCloseTheDialog) {
  HandlerLog log;
  const DialogId d = Build();
  Routine<EnableItemFn>(kSelEnableItem)(d, kDialogItemAccept, 0);
  EXPECT_EQ(RunDialog(d, log), kDialogItemCancel);
  EXPECT_TRUE(LastDialog()->acceptRefused);
  // Scripts are used one per run, in order.
  QueueDialogScript({{}, kDialogItemCancel});
  QueueDialogScript({{}, 7});
  EXPECT_EQ(RunDialog(d, log), kDialogItemCancel);
  EXPECT_EQ(RunDialog(d, log), 7);
  EXPECT_EQ(PendingDialogScripts(), 0u);
}

TEST_F(DialogEngine, VerifyLayoutWantsEveryItemPlacedOnceAfterItsReference) {
  using Steps = std::function<void(DialogId)>;
  auto below = Routine<PlaceItemBelowFn>(kSelPlaceItemBelow);
  auto first = Routine<SetFirstLayoutItemFn>(kSelSetFirstLayoutItem);
  struct Case {
    const char* name;
    Steps layOut;
    bool sound;
  } cases[] = {
      {"every item placed", [&](DialogId d) {
         first(d, 3); below(d, 3, 4, 0, 0); below(d, 4, 12, 0, 0); below(d, 12, 13, 0, 0);
       }, true},
      {"field never placed", [&](DialogId d) {
         first(d, 3); below(d, 3, 4, 0, 0); below(d, 4, 12, 0, 0);
       }, false},
      {"item placed twice", [&](DialogId d) {
         first(d, 3); below(d, 3, 4, 0, 0); below(d, 4, 12, 0, 0); below(d, 12, 13, 0, 0);
         below(d, 3, 13, 0, 0);
       }, false},
      {"reference placed later", [&](DialogId d) {
         first(d, 3); below(d, 12, 13, 0, 0); below(d, 3, 4, 0, 0); below(d, 4, 12, 0, 0);
       }, false},
      {"no first item", [&](DialogId d) {
         below(d, 3, 4, 0, 0);
       }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DialogId d = Build(false);
    c.layOut(d);
    EXPECT_EQ(Routine<VerifyLayoutFn>(kSelVerifyLayout)(d) != 0, c.sound);
  }
}

TEST_F(DialogEngine, ReportsMisuse) {
  const DialogId d = Build();
  char unterminated[kHostTextBufferSize];
  std::fill(std::begin(unterminated), std::end(unterminated), 'a');
  double value = 0;
  struct Case {
    const char* name;
    std::function<void()> call;
    const char* report;
  } cases[] = {
      {"unknown dialog", [&] { Routine<CreateCheckBoxFn>(kSelCreateCheckBox)(d + 9, 5, "x"); },
       "unknown dialog"},
      {"unknown item", [&] { Routine<EnableItemFn>(kSelEnableItem)(d, 77, 1); }, "unknown item 77"},
      {"unterminated text",
       [&] { Routine<SetItemHelpTextFn>(kSelSetItemHelpText)(d, 3, unterminated); },
       "not terminated"},
      {"item created twice", [&] { Routine<CreateCheckBoxFn>(kSelCreateCheckBox)(d, 3, "x"); },
       "already exists"},
      {"check state of a field", [&] { Routine<SetBooleanItemFn>(kSelSetBooleanItem)(d, 13, 1); },
       "not a check box"},
      {"value of a check box",
       [&] { Routine<GetEditRealFn>(kSelGetEditReal)(d, 3, 1, &value); }, "not a real-number"},
      {"field read with another kind",
       [&] { Routine<GetEditRealFn>(kSelGetEditReal)(d, 13, 2, &value); }, "kind 2"},
      {"run without a handler",
       [&] { Routine<RunLayoutDialogFn>(kSelRunLayoutDialog)(d, nullptr, nullptr); },
       "no event handler"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host.ClearViolations();
    c.call();
    EXPECT_TRUE(Violated(c.report));
  }
  // The unterminated text was kept as its first 255 bytes.
  EXPECT_EQ(LastDialog()->Find(3)->help->size(), kHostTextBufferSize - 1u);
}

TEST_F(DialogEngine, KeepsItsOwnCopyOfEveryText) {
  char buffer[kHostTextBufferSize] = "Title";
  const DialogId d = Routine<CreateLayoutDialogFn>(kSelCreateLayoutDialog)(buffer, 1, "A", "C");
  std::strcpy(buffer, "Box");
  Routine<CreateCheckBoxFn>(kSelCreateCheckBox)(d, 3, buffer);
  std::strcpy(buffer, "Help");
  Routine<SetItemHelpTextFn>(kSelSetItemHelpText)(d, 3, buffer);
  std::strcpy(buffer, "gone");
  const DialogRecord& r = *LastDialog();
  EXPECT_EQ(r.title, "Title");
  EXPECT_EQ(r.Find(3)->label, "Box");
  EXPECT_EQ(*r.Find(3)->help, "Help");
}

TEST_F(DialogEngine, RendersRowsIndentsStatesAndDisabledItems) {
  const DialogId d = Build();
  Routine<SetBooleanItemFn>(kSelSetBooleanItem)(d, 4, 1);
  Routine<EnableItemFn>(kSelEnableItem)(d, 13, 0);
  Routine<EnableItemFn>(kSelEnableItem)(d, kDialogItemAccept, 0);
  EXPECT_EQ(RenderDialog(*LastDialog()),
            "== T ==\n"
            "  [ ] Three\n"
            "  [x] Four\n"
            "    Size:  [0.25] (disabled)\n"
            "  <Go> (disabled)  <Stop>\n");
}

TEST_F(DialogEngine, ANewHostStartsWithNoDialogs) {
  Build();
  QueueDialogScript({});
  ASSERT_EQ(Dialogs().size(), 1u);
  {
    Host other;  // becomes current
    EXPECT_TRUE(Dialogs().empty());
    EXPECT_EQ(PendingDialogScripts(), 0u);
    EXPECT_EQ(Routine<CreateLayoutDialogFn>(kSelCreateLayoutDialog)("T", 1, "A", "C"), 1);
  }
}

TEST_F(DialogEngine, EachHostKeepsItsOwnDialogsAndScripts) {
  Build();
  QueueDialogScript({{}, kDialogItemCancel});
  SetVerifyLayoutAnswer(false);
  Host other;  // becomes current
  Routine<CreateLayoutDialogFn>(kSelCreateLayoutDialog)("Other", 1, "A", "C");
  ResetDialogEngine();  // forgets the other host's dialog alone
  EXPECT_TRUE(Dialogs().empty());

  struct Case {
    Host* current;
    size_t dialogs;
    size_t scripts;
  } cases[] = {{&host, 1, 1}, {&other, 0, 0}, {&host, 1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.current == &host ? "first host" : "other host");
    c.current->Activate();
    EXPECT_EQ(Dialogs().size(), c.dialogs);
    EXPECT_EQ(PendingDialogScripts(), c.scripts);
    if (c.dialogs > 0) {
      EXPECT_EQ(LastDialog()->title, "T");
      // The layout is sound: only the first host's own answer makes it false.
      EXPECT_EQ(Routine<VerifyLayoutFn>(kSelVerifyLayout)(1), 0);
    }
  }
  // The first host's script closes its own next run.
  HandlerLog log;
  EXPECT_EQ(RunDialog(1, log), kDialogItemCancel);
  EXPECT_EQ(PendingDialogScripts(), 0u);
}

}  // namespace
