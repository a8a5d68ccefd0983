// The options dialog shown before each run: nine check boxes for the passes
// and two tolerance fields, built from host layout-dialog routines.
#pragma once

#include <cstdint>

#include "cleanup/host_abi.h"

// Item ids of the dialog. 1 and 2 are the buttons the host makes with the
// dialog; check box 3 + n edits option flag n.
inline constexpr int32_t kItemAccept = kDialogItemAccept;
inline constexpr int32_t kItemCancel = kDialogItemCancel;
inline constexpr int32_t kItemFirstCheckBox = 3;
inline constexpr int32_t kItemSizeCheckBox = 4;    // flag 1: the only user of tolerance 2
inline constexpr int32_t kItemJoinCheckBox = 9;    // flag 6
inline constexpr int32_t kItemJoinArcsCheckBox = 10;  // flag 7, a sub-option of flag 6
inline constexpr int32_t kItemLastCheckBox = 11;
inline constexpr int32_t kItemToleranceLabel = 12;
inline constexpr int32_t kItemTolerance1 = 13;
inline constexpr int32_t kItemTolerance2 = 14;
inline constexpr int32_t kItemCount = 15;  // items 0..14 carry a help text

// String lists of the host's resources.
inline constexpr int16_t kDialogTextList = 11000;  // title, labels
inline constexpr int16_t kDialogHelpList = 11001;  // help text of item n at index n + 1
inline constexpr int16_t kDialogTitleIndex = 13;

// Shows the dialog on the 26 option bytes at `options`. True when the user
// accepted: all 26 bytes then hold the edited values. False when the dialog
// was not shown or not accepted: `options` is unchanged.
HostBool RunOptionsDialog(CallbackPtr cbp, uint8_t* options);

// The dialog's event handler; userData is the address of the private copy.
void OptionsDialogHandler(DialogId dialog, int32_t* itemHit, int32_t* data, void* userData);
