// The options dialog through the real library: what the host is asked to
// build, how the events change the options, and what reaches the record.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/settings.h"
#include "dialog/options_dialog.h"
#include "hostapp/dialog_engine.h"
#include "support/plugin_fixture.h"

using namespace hostapp;

namespace {

using Record = std::vector<uint8_t>;

class OptionsDialog : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    ResetDialogEngine();
  }
  void TearDown() override {
    if (host.userData != nullptr) host.SendAction(kActionTearDown);
    host.userData = nullptr;
    PluginTest::TearDown();
  }

  // Action 1, then the options written into the new block.
  void MakeRecord(const Options& o = Options{}) {
    ASSERT_EQ(host.SendAction(kActionSetUp), 0);
    uint8_t* block = host.SettingsBlock();
    ASSERT_NE(block, nullptr);
    std::memcpy(block, o.flags, sizeof o.flags);
    std::memcpy(block + kTolerance1Offset, &o.tolerance1, sizeof o.tolerance1);
    std::memcpy(block + kTolerance2Offset, &o.tolerance2, sizeof o.tolerance2);
  }
  Record Block() {
    const uint8_t* b = host.SettingsBlock();
    return Record(b, b + kSettingsSize);
  }
  double Tolerance(size_t offset) {
    double v;
    std::memcpy(&v, host.SettingsBlock() + offset, sizeof v);
    return v;
  }
  int32_t Run(std::vector<DialogEvent> events, int32_t closeWith) {
    QueueDialogScript(DialogScript{std::move(events), closeWith});
    return host.SendAction(kActionRun);
  }
  bool PassesRan() const {
    for (const std::string& name : host.CallNames())
      if (name == "ForEachObject") return true;
    return false;
  }
  const DialogItem& Item(int32_t id) {
    const DialogItem* it = LastDialog()->Find(id);
    EXPECT_NE(it, nullptr) << "item " << id;
    return *it;
  }
  std::vector<std::string> CallsNamed(std::initializer_list<const char*> names) {
    std::vector<std::string> out;
    const auto& calls = host.Calls();
    for (const auto& c : calls)
      for (const char* n : names)
        if (c.routine == n) out.push_back(c.routine + "(" + c.args + ")");
    return out;
  }
};

Options With(std::function<void(Options&)> edit) {
  Options o;
  edit(o);
  return o;
}

TEST_F(OptionsDialog, DiscardedDialogsLeaveTheRecordByteForByte) {
  const std::vector<DialogEvent> edits = {Click(3, true),         Click(4, false),
                                          Click(9, true),         Click(10, true),
                                          TypeText(13, "0.5"),    TypeText(14, "0.3")};
  struct Case {
    const char* name;
    std::vector<DialogEvent> events;
    int32_t closeWith;
  } cases[] = {
      {"cancel after edits", edits, kDialogItemCancel},
      {"accept pressed while disabled", {Click(3, true), TypeText(13, "abc")}, kDialogItemAccept},
      {"closed by an item other than accept", edits, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeRecord();
    const Record before = Block();
    host.ClearCalls();
    EXPECT_EQ(Run(c.events, c.closeWith), 1);
    EXPECT_EQ(Block(), before);
    EXPECT_FALSE(PassesRan());
    host.SendAction(kActionTearDown);
    host.userData = nullptr;
  }
}

TEST_F(OptionsDialog, AcceptWritesAllTwentySixBytesAndNothingBeyond) {
  MakeRecord(With([](Options& o) { o.flags[0] = 7; o.flags[8] = 1; }));
  host.SettingsBlock()[9] = 0x42;  // the spare byte travels with the options
  Record expected = Block();
  expected[2] = 1;  // the one box the user checks
  // The host scribbles over the block while the dialog runs: everything the
  // plug-in writes back shows, and nothing else.
  host.SetHook(kSelRunLayoutDialog, [this] { std::memset(host.SettingsBlock(), 0xCC, 68); });
  std::fill(expected.begin() + 26, expected.end(), 0xCC);

  EXPECT_EQ(Run({Click(5, true)}, kDialogItemAccept), 0);
  EXPECT_EQ(Block(), expected);
}

TEST_F(OptionsDialog, EnableRulesOfTheSubOptionTheSizeFieldAndAccept) {
  struct Case {
    const char* name;
    Options start;
    std::vector<DialogEvent> events;
    bool accept, box10, field14;
    bool box10Checked;
  } cases[] = {
      {"defaults", Options{}, {}, true, false, true, false},
      {"flag 1 off: field 14 starts disabled",
       With([](Options& o) { o.flags[1] = 0; }), {}, true, false, false, false},
      {"checking 4 enables field 14",
       With([](Options& o) { o.flags[1] = 0; }), {Click(4, true)}, true, false, true, false},
      {"unchecking 4 disables it again",
       Options{}, {Click(4, false)}, true, false, false, false},
      {"flag 6 off: box 10 disabled and still checked",
       With([](Options& o) { o.flags[7] = 1; }), {}, true, false, true, true},
      {"checking 9 enables box 10",
       Options{}, {Click(9, true)}, true, true, true, false},
      {"unchecking 9 disables box 10, checked state kept",
       With([](Options& o) { o.flags[6] = 1; o.flags[7] = 1; }), {Click(9, false)},
       true, false, true, true},
      {"invalid text in field 13 disables accept",
       Options{}, {TypeText(13, "0.0.1")}, false, false, true, false},
      {"valid field 14 enables accept while 13 stays invalid",
       Options{}, {TypeText(13, "abc"), TypeText(14, "0.002")}, true, false, true, false},
      {"valid field 13 enables accept again",
       Options{}, {TypeText(13, ""), TypeText(13, "1e-3")}, true, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeRecord(c.start);
    Run(c.events, kDialogItemCancel);
    EXPECT_EQ(Item(kDialogItemAccept).enabled, c.accept);
    EXPECT_EQ(Item(10).enabled, c.box10);
    EXPECT_EQ(Item(14).enabled, c.field14);
    EXPECT_EQ(Item(10).checked, c.box10Checked);
    host.SendAction(kActionTearDown);
    host.userData = nullptr;
  }
}

TEST_F(OptionsDialog, EveryBoxEditsItsFlagAndFlag7OutlivesFlag6) {
  MakeRecord(With([](Options& o) { o.flags[6] = 1; o.flags[7] = 1; }));
  std::vector<DialogEvent> events;
  const uint8_t wanted[9] = {1, 0, 1, 1, 1, 0, 0, 1, 1};
  // Box 10 first, while it is still enabled; then box 9 switches flag 6 off.
  for (int32_t item : {10, 3, 4, 5, 6, 7, 8, 9, 11})
    events.push_back(Click(item, wanted[item - 3] != 0));
  EXPECT_EQ(Run(events, kDialogItemAccept), 0);
  EXPECT_EQ(Record(host.SettingsBlock(), host.SettingsBlock() + 9),
            Record(wanted, wanted + 9));
}

TEST_F(OptionsDialog, TheLastValidValueOfEachFieldIsStored) {
  struct Case {
    const char* name;
    std::vector<DialogEvent> events;
    double tolerance1, tolerance2;
  } cases[] = {
      {"invalid text after a valid one in the same field",
       {TypeText(13, "0.5"), TypeText(13, "abc"), TypeText(14, "0.25")}, 0.5, 0.25},
      {"out-of-range text, then a valid entry elsewhere",
       {TypeText(14, "0.25"), TypeText(14, "1e999"), TypeText(13, " 0.75 ")}, 0.75, 0.25},
      {"infinity and not-a-number are not numbers",
       {TypeText(13, "inf"), TypeText(14, "nan"), TypeText(14, "2")}, 0.01, 2.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeRecord();
    EXPECT_EQ(Run(c.events, kDialogItemAccept), 0);
    EXPECT_EQ(Tolerance(kTolerance1Offset), c.tolerance1);
    EXPECT_EQ(Tolerance(kTolerance2Offset), c.tolerance2);
    host.SendAction(kActionTearDown);
    host.userData = nullptr;
  }
}

TEST_F(OptionsDialog, EveryTextIsTheHostsOwnCopyOfTheRightResource) {
  MakeRecord();
  Run({}, kDialogItemCancel);
  const DialogRecord& d = *LastDialog();
  EXPECT_EQ(d.title, ResourceText(11000, 13));
  for (int32_t id = 1; id <= 12; ++id)
    EXPECT_EQ(Item(id).label, ResourceText(11000, static_cast<int16_t>(id))) << id;
  for (int32_t id = 0; id <= 14; ++id) {
    ASSERT_TRUE(Item(id).help.has_value()) << id;
    EXPECT_EQ(*Item(id).help, ResourceText(11001, static_cast<int16_t>(id + 1))) << id;
  }
  EXPECT_EQ(Item(12).width, 18);
  for (int32_t id : {13, 14}) {
    EXPECT_EQ(Item(id).width, 16);
    EXPECT_EQ(Item(id).editKind, 1);
  }
}

TEST_F(OptionsDialog, BuildsAndSetsUpTheDialogInTheAgreedOrder) {
  MakeRecord(With([](Options& o) { o.flags[0] = 7; }));
  host.ClearCalls();
  Run({}, kDialogItemCancel);

  std::vector<std::string> texts;
  auto fetched = [&texts](int list, int index) {
    texts.push_back("GetResourceString(" + std::to_string(list) + ", " + std::to_string(index) +
                    ", 1)");
  };
  for (int index : {13, 1, 2}) fetched(11000, index);
  for (int index = 3; index <= 12; ++index) fetched(11000, index);
  for (int index = 1; index <= 15; ++index) fetched(11001, index);
  EXPECT_EQ(CallsNamed({"GetResourceString"}), texts);

  EXPECT_EQ(CallsNamed({"SetFirstLayoutItem", "PlaceItemBelow", "PlaceItemRight", "VerifyLayout"}),
            (std::vector<std::string>{
                "SetFirstLayoutItem(1, 3)",     "PlaceItemBelow(1, 3, 4, 0, 0)",
                "PlaceItemRight(1, 4, 14, 0, 0)", "PlaceItemBelow(1, 4, 5, 0, 0)",
                "PlaceItemBelow(1, 5, 6, 0, 0)",  "PlaceItemBelow(1, 6, 7, 0, 0)",
                "PlaceItemBelow(1, 7, 8, 0, 0)",  "PlaceItemBelow(1, 8, 9, 0, 0)",
                "PlaceItemBelow(1, 9, 10, 4, 0)", "PlaceItemBelow(1, 10, 11, -4, 0)",
                "PlaceItemBelow(1, 11, 12, 4, 0)", "PlaceItemRight(1, 12, 13, 0, 0)",
                "VerifyLayout(1)"}));

  // Set-up hands each flag byte on as it stands and never touches accept.
  EXPECT_EQ(CallsNamed({"CreateEditReal", "SetBooleanItem", "EnableItem"}),
            (std::vector<std::string>{
                "CreateEditReal(1, 13, 1, 0.01, 16)", "CreateEditReal(1, 14, 1, 1e-04, 16)",
                "SetBooleanItem(1, 3, 7)",  "SetBooleanItem(1, 4, 1)",
                "SetBooleanItem(1, 5, 0)",  "SetBooleanItem(1, 6, 0)",
                "SetBooleanItem(1, 7, 0)",  "SetBooleanItem(1, 8, 1)",
                "SetBooleanItem(1, 9, 0)",  "SetBooleanItem(1, 10, 0)",
                "SetBooleanItem(1, 11, 0)", "EnableItem(1, 10, 0)"}));
}

TEST_F(OptionsDialog, ADialogThatCannotRunEndsTheRunWithNoPass) {
  struct Case {
    const char* name;
    std::function<void(Host&)> arrange;
  } cases[] = {
      {"VerifyLayout answers false", [](Host&) { SetVerifyLayoutAnswer(false); }},
      {"VerifyLayout missing", [](Host& h) { h.SetMissing(kSelVerifyLayout); }},
      {"RunLayoutDialog missing", [](Host& h) { h.SetMissing(kSelRunLayoutDialog); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetDialogEngine();
    MakeRecord();
    const Record before = Block();
    c.arrange(host);
    host.ClearCalls();
    EXPECT_EQ(host.SendAction(kActionRun), 1);
    EXPECT_EQ(Block(), before);
    EXPECT_FALSE(PassesRan());
    EXPECT_EQ(LastDialog()->runs, 0);
    host.SetMissing(kSelVerifyLayout, false);
    host.SetMissing(kSelRunLayoutDialog, false);
    SetVerifyLayoutAnswer(std::nullopt);
    host.SendAction(kActionTearDown);
    host.userData = nullptr;
  }
}

TEST_F(OptionsDialog, TheNextRunOpensWithWhatTheLastOneAccepted) {
  MakeRecord();
  ASSERT_EQ(Run({Click(3, true), Click(4, false), Click(9, true), TypeText(13, "0.5")},
                kDialogItemAccept),
            0);
  const Record accepted = Block();
  ASSERT_EQ(Run({}, kDialogItemAccept), 0);
  ASSERT_EQ(Dialogs().size(), 2u);
  EXPECT_TRUE(Item(3).checked);
  EXPECT_FALSE(Item(4).checked);
  EXPECT_FALSE(Item(14).enabled);
  EXPECT_TRUE(Item(10).enabled);
  EXPECT_EQ(Item(13).fieldText, "0.5");
  EXPECT_EQ(Block(), accepted);
}

TEST_F(OptionsDialog, RendersTheDefaultDialog) {
  MakeRecord();
  Run({}, kDialogItemCancel);
  EXPECT_EQ(RenderDialog(*LastDialog()),
            "== Clean Up Drawing ==\n"
            "  [ ] Flatten 3D polylines\n"
            "  [x] Remove degenerate objects  [0.0001]\n"
            "  [ ] Remove points\n"
            "  [ ] Remove duplicates\n"
            "  [ ] Merge overlapping lines and arcs\n"
            "  [x] Tidy vertices\n"
            "  [ ] Join connected segments\n"
            "      [ ] Include arcs when joining (disabled)\n"
            "  [ ] Reduce vertices\n"
            "      Point tolerance:  [0.01]\n"
            "  <OK>  <Cancel>\n");
}

// The handler called directly, as a careless host might call it.
TEST(OptionsDialogHandler, IgnoresEventsWithoutTheirAddresses) {
  CommandOptions copy{};
  const CommandOptions before = copy;
  int32_t item = 3, checked = 1;
  OptionsDialogHandler(1, nullptr, &checked, &copy);
  OptionsDialogHandler(1, &item, &checked, nullptr);
  OptionsDialogHandler(1, &item, nullptr, &copy);
  item = kItemJoinCheckBox;
  OptionsDialogHandler(1, &item, nullptr, &copy);
  EXPECT_EQ(std::memcmp(copy.bytes, before.bytes, sizeof copy.bytes), 0);
  item = 3;
  OptionsDialogHandler(1, &item, &checked, &copy);
  EXPECT_EQ(copy.bytes[0], 1);
}

}  // namespace
