#include "dialog/options_dialog.h"

#include <cstring>

#include "base/settings.h"
#include "host/host_calls.h"

namespace {

constexpr HostBool kGetTextFlag = 1;
constexpr HostBool kDialogFlag = 1;
constexpr int32_t kEditKind = 1;
constexpr int16_t kLabelWidth = 18;
constexpr int16_t kFieldWidth = 16;
constexpr int16_t kSubOptionIndent = 4;  // item 10 hangs under item 9
constexpr int16_t kGroupLabelWidth = 30;
constexpr int32_t kExtraLastItem = kExtraFirstItem + kExtraOptionCount - 1;

// What the dialog edits: the 26 option bytes first (the handler's user data
// is also read as a bare CommandOptions), then the options beyond them when
// the record offers those.
struct DialogCopy {
  CommandOptions options;
  uint8_t extra[kExtraOptionCount];
  bool extraShown;
};

// The plug-in never reads a text, but it hands every buffer on to the host:
// start each fetch from an empty text (a missing GetResourceString leaves
// the buffer as it was) and make sure the host never reads past the end.
void FetchText(CallbackPtr cbp, int16_t listId, int16_t index, char (&buffer)[kHostTextBufferSize]) {
  buffer[0] = '\0';
  GetResourceString(cbp, listId, index, buffer, kGetTextFlag);
  buffer[kHostTextBufferSize - 1] = '\0';
}

size_t FlagOfCheckBox(int32_t item) { return static_cast<size_t>(item - kItemFirstCheckBox); }

// The new state of a check box, stored as 0 or 1.
uint8_t CheckedFrom(const int32_t* data) { return *data != 0 ? 1 : 0; }

void ReadToleranceField(DialogId dialog, int32_t item, CommandOptions& options) {
  double value = 0.0;
  if (GetEditReal(gCBP, dialog, item, static_cast<int16_t>(kEditKind), &value)) {
    if (item == kItemTolerance1) SetTolerance1(options, value);
    else SetTolerance2(options, value);
    EnableItem(gCBP, dialog, kItemAccept, 1);
  } else {
    // The copy keeps the field's last valid value; accept waits for a valid one.
    EnableItem(gCBP, dialog, kItemAccept, 0);
  }
}

void SetUpItems(DialogId dialog, const CommandOptions& options) {
  for (size_t n = 0; n < kOptionFlagCount; ++n)
    SetBooleanItem(gCBP, dialog, kItemFirstCheckBox + static_cast<int32_t>(n), options.bytes[n]);
  if (!OptionFlag(options, FlagOfCheckBox(kItemSizeCheckBox)))
    EnableItem(gCBP, dialog, kItemTolerance2, 0);
  if (!OptionFlag(options, FlagOfCheckBox(kItemJoinCheckBox)))
    EnableItem(gCBP, dialog, kItemJoinArcsCheckBox, 0);
}

// The group of options beyond the nine flags: a label and a check box each.
void CreateExtraItems(CallbackPtr cbp, DialogId dialog, char (&text)[kHostTextBufferSize]) {
  FetchText(cbp, kDialogTextList, static_cast<int16_t>(kExtraGroupLabelItem), text);
  CreateStaticText(cbp, dialog, kExtraGroupLabelItem, text, kGroupLabelWidth);
  for (int32_t item = kExtraFirstItem; item <= kExtraLastItem; ++item) {
    FetchText(cbp, kDialogTextList, static_cast<int16_t>(item), text);
    CreateCheckBox(cbp, dialog, item, text);
  }
  for (int32_t item = kExtraGroupLabelItem; item <= kExtraLastItem; ++item) {
    FetchText(cbp, kDialogHelpList, static_cast<int16_t>(item + 1), text);
    SetItemHelpText(cbp, dialog, item, text);
  }
}

// Below the tolerance row, back at the left edge; the boxes under their label.
void PlaceExtraItems(CallbackPtr cbp, DialogId dialog) {
  PlaceItemBelow(cbp, dialog, kItemToleranceLabel, kExtraGroupLabelItem, -kSubOptionIndent, 0);
  PlaceItemBelow(cbp, dialog, kExtraGroupLabelItem, kExtraFirstItem, kSubOptionIndent, 0);
  for (int32_t item = kExtraFirstItem + 1; item <= kExtraLastItem; ++item)
    PlaceItemBelow(cbp, dialog, item - 1, item, 0, 0);
}

}  // namespace

HostBool RunOptionsDialog(CallbackPtr cbp, uint8_t* options) {
  if (options == nullptr) return 0;
  // Only a record that carries the block's tag offers the options beyond the
  // nine flags; any other gets the dialog exactly as it always was.
  const bool extraShown = ExtraBlockValid(options);

  char title[kHostTextBufferSize];
  char acceptLabel[kHostTextBufferSize];
  char cancelLabel[kHostTextBufferSize];
  FetchText(cbp, kDialogTextList, kDialogTitleIndex, title);
  FetchText(cbp, kDialogTextList, kItemAccept, acceptLabel);
  FetchText(cbp, kDialogTextList, kItemCancel, cancelLabel);
  const DialogId dialog = CreateLayoutDialog(cbp, title, kDialogFlag, acceptLabel, cancelLabel);
  // No dialog was made (0 names none): the options cannot be asked, so the
  // run stops as if cancelled rather than build items into nothing.
  if (dialog == 0) return 0;

  // From here on one buffer serves every text; the host copies each one.
  char (&text)[kHostTextBufferSize] = title;
  for (int32_t item = kItemFirstCheckBox; item <= kItemLastCheckBox; ++item) {
    FetchText(cbp, kDialogTextList, static_cast<int16_t>(item), text);
    CreateCheckBox(cbp, dialog, item, text);
  }
  FetchText(cbp, kDialogTextList, static_cast<int16_t>(kItemToleranceLabel), text);
  CreateStaticText(cbp, dialog, kItemToleranceLabel, text, kLabelWidth);

  CommandOptions initial;
  std::memcpy(initial.bytes, options, sizeof initial.bytes);
  CreateEditReal(cbp, dialog, kItemTolerance1, kEditKind, Tolerance1(initial), kFieldWidth);
  CreateEditReal(cbp, dialog, kItemTolerance2, kEditKind, Tolerance2(initial), kFieldWidth);

  for (int32_t item = 0; item < kItemCount; ++item) {
    FetchText(cbp, kDialogHelpList, static_cast<int16_t>(item + 1), text);
    SetItemHelpText(cbp, dialog, item, text);
  }
  if (extraShown) CreateExtraItems(cbp, dialog, text);

  // Placement results are advisory; VerifyLayout has the last word.
  SetFirstLayoutItem(cbp, dialog, 3);
  PlaceItemBelow(cbp, dialog, 3, 4, 0, 0);
  PlaceItemRight(cbp, dialog, 4, 14, 0, 0);
  PlaceItemBelow(cbp, dialog, 4, 5, 0, 0);
  PlaceItemBelow(cbp, dialog, 5, 6, 0, 0);
  PlaceItemBelow(cbp, dialog, 6, 7, 0, 0);
  PlaceItemBelow(cbp, dialog, 7, 8, 0, 0);
  PlaceItemBelow(cbp, dialog, 8, 9, 0, 0);
  PlaceItemBelow(cbp, dialog, 9, 10, kSubOptionIndent, 0);
  PlaceItemBelow(cbp, dialog, 10, 11, -kSubOptionIndent, 0);
  PlaceItemBelow(cbp, dialog, 11, 12, kSubOptionIndent, 0);
  PlaceItemRight(cbp, dialog, 12, 13, 0, 0);
  if (extraShown) PlaceExtraItems(cbp, dialog);

  if (!VerifyLayout(cbp, dialog)) return 0;

  DialogCopy copy{};
  copy.options = initial;
  copy.extraShown = extraShown;
  if (extraShown) std::memcpy(copy.extra, options + kExtraNear, sizeof copy.extra);
  const int32_t closedBy = RunLayoutDialog(cbp, dialog, OptionsDialogHandler, &copy);
  if (closedBy != kItemAccept) return 0;
  std::memcpy(options, copy.options.bytes, sizeof copy.options.bytes);
  if (extraShown) WriteExtraBlock(options, copy.extra);
  return 1;
}

// Events arrive from inside RunLayoutDialog, within the entry point's call,
// so gCBP is the callback pointer to answer them with.
void OptionsDialogHandler(DialogId dialog, int32_t* itemHit, int32_t* data, void* userData) {
  if (itemHit == nullptr || userData == nullptr) return;
  CommandOptions& options = *static_cast<CommandOptions*>(userData);
  const int32_t item = *itemHit;

  switch (item) {
    case kDialogSetupEvent:
      SetUpItems(dialog, options);
      if (static_cast<DialogCopy*>(userData)->extraShown)
        for (int32_t k = 0; k < kExtraOptionCount; ++k)
          SetBooleanItem(gCBP, dialog, kExtraFirstItem + k,
                         static_cast<DialogCopy*>(userData)->extra[k]);
      break;
    case 3: case 5: case 6: case 7: case 8: case 10: case 11:
      if (data == nullptr) return;  // a check-box event without its new state
      options.bytes[FlagOfCheckBox(item)] = CheckedFrom(data);
      break;
    case kItemSizeCheckBox:
    case kItemJoinCheckBox: {
      if (data == nullptr) return;
      const uint8_t on = CheckedFrom(data);
      options.bytes[FlagOfCheckBox(item)] = on;
      EnableItem(gCBP, dialog,
                 item == kItemSizeCheckBox ? kItemTolerance2 : kItemJoinArcsCheckBox, on);
      break;
    }
    case kItemTolerance1:
    case kItemTolerance2:
      ReadToleranceField(dialog, item, options);
      break;
    case 16: case 17: case 18: case 19: case 20: case 21: case 22: {
      static_assert(kExtraFirstItem == 16 && kExtraOptionCount == 7);
      DialogCopy& copy = *static_cast<DialogCopy*>(userData);
      if (data == nullptr || !copy.extraShown) return;
      copy.extra[item - kExtraFirstItem] = CheckedFrom(data);
      break;
    }
    default:
      break;  // buttons, the labels and unknown ids change nothing
  }
}
